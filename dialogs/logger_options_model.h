#pragma once
#include <QString>
#include <optional>
#include <vector>

#include "app/registered_device_store.h"

// What the read/write options dialog knows of the device on show, without its widgets: the
// entry as the store held it when it was shown or last saved, what the controls showed then,
// and what happens when the store changes underneath the open dialog (a call carried the
// options out, another program wrote the entry). The sections the operator changed keep what
// was typed, the others take the stored values, and the operator is told which is which.
namespace varnel {

// A device's entry as the store holds it, the page option included.
struct OptionsEntry {
  StoredDevice Stored;
  bool ReadNewPages = false;

  bool operator==(const OptionsEntry&) const = default;
  // False when the store holds no entry of the device.
  bool InStore() const { return Stored.Present.any(); }
  static OptionsEntry Read(const QString& serial);
};

// What the dialog's controls show of a device's options, control by control: the offsets as
// their edits hold them, the comment with its lines joined by LF, lists by their index.
struct ShownOptions {
  QString Description;
  bool ReadActualRec = true;  // otherwise read from the month and year below
  int ReadFromMonth = 0;
  int ReadFromYear = 2000;
  bool SynchTime = true;
  bool ReadNewPages = false;
  bool OffsetCorr = false;
  QString P1Text;
  QString P2Text;
  int Unit = 0;
  bool WriteConfig = false;
  QString ConfigFile;
  bool WLConfig = false;
  bool WriteText = false;
  bool NewID = false;
  QString ID;
  bool NewComment = false;
  QString Comment;
  QString LastContact;
};

class LoggerOptionsModel {
 public:
  // The dialog's sections: each is kept as typed or taken from the store as a whole.
  enum Section { kDescription, kReadout, kClock, kNewPages, kOffset, kWrite, kLastContact,
                 kSectionCount };
  // The caption of `section`, as the notice names it.
  static QString SectionName(int section);
  // True when `a` and `b` show the same in `section`.
  static bool SameSection(int section, const ShownOptions& a, const ShownOptions& b);

  static constexpr int kMaxCommentLength = 447;  // CR LF counted as two, as stored
  // The comment as stored (lines joined by CR LF) and as the comment box shows it (cut to
  // kMaxCommentLength as stored, lines joined by LF).
  static QString StoredComment(const QString& shown);
  static QString ShownComment(const QString& stored);
  // The index in the unit list of a stored unit, as the readout takes it: the low byte, and
  // a unit outside the list counts as bar.
  static int ShownUnit(int stored);
  // The nineteen values that saving `shown` writes.
  static DeviceValues ToStore(const ShownOptions& shown);

  // The device on show.
  const QString& Serial() const { return serial_; }
  // Puts `serial` on show as the store holds it now; the entry to show (the controls keep
  // what they show for every value the entry lacks).
  const OptionsEntry& Load(const QString& serial);
  // Puts `serial` on show as just added: nothing stored, so nothing changes underneath it.
  void LoadNew(const QString& serial);
  // What the controls show right after the entry was shown: the operator's edits are the
  // sections that differ from it.
  void SetShown(const ShownOptions& shown) { shown_ = shown; }

  // The store's entry of the device on show when it is no longer the one shown; none when
  // it is, or when it was deleted meanwhile (it comes back at the save, as typed).
  std::optional<OptionsEntry> ChangedUnderneath() const;

  struct Taken {
    std::vector<Section> Typed;  // the sections the operator changed, to show as typed
    QString Notice;  // what to tell the operator; empty when nothing visible changed
  };
  // Takes `now` as the entry on show. `typed` is what the controls showed before it, `stored`
  // what they show once `now` is shown: the sections the operator changed are to show what
  // was typed, the others stay as stored, and `stored` is the new starting point.
  Taken TakeStored(const OptionsEntry& now, const ShownOptions& typed,
                   const ShownOptions& stored);

  // Writes `shown` as the entry of `serial`, the page option beside it; false when the store
  // could not be written. For the device on show, what reached the store becomes the new
  // starting point (unsaved edits stay edits).
  bool Save(const QString& serial, const ShownOptions& shown);

 private:
  QString serial_;
  bool fromStore_ = false;
  OptionsEntry loaded_;
  ShownOptions shown_;
};

}  // namespace varnel
