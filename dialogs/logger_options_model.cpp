#include "dialogs/logger_options_model.h"

#include <QStringList>

#include "common/locale_text.h"
#include "device/pressure_units.h"
#include "lang/lang.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

QString Text(int id) { return QString::fromStdString(LoadText(id)); }

// An offset as its edit reads it: 0 when the text is not a number.
double OffsetValue(const QString& text) {
  double v = 0;
  return ParseLocaleNumber(text, v) ? v : 0.0;
}

// The unit's name as the unit list shows it.
QString UnitName(int index) {
  if (index < 0 || index >= kPressureUnitCount) return {};
  const std::string_view name = PressureUnitNames()[static_cast<std::size_t>(index)];
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

OptionsEntry OptionsEntry::Read(const QString& serial) {
  const RegisteredDeviceStore store;
  OptionsEntry e;
  e.Stored = store.Read(serial);
  e.ReadNewPages = store.ReadOnlyNewPages(serial);
  return e;
}

QString LoggerOptionsModel::SectionName(int section) {
  static constexpr int kNames[kSectionCount] = {kTextDescription, kTextReadoutOptions, kTextSyncClock, kTextReadNewPages,
                                                 kTextOffsetCorrection, kTextWriteConfig, kTextLastContact};
  return section >= 0 && section < kSectionCount ? Text(kNames[section]) : QString();
}

bool LoggerOptionsModel::SameSection(int section, const ShownOptions& a, const ShownOptions& b) {
  using S = ShownOptions;
  const auto same = [&a, &b](auto... member) { return ((a.*member == b.*member) && ...); };
  switch (section) {
    case kDescription: return same(&S::Description);
    case kReadout: return same(&S::ReadActualRec, &S::ReadFromMonth, &S::ReadFromYear);
    case kClock: return same(&S::SynchTime);
    case kNewPages: return same(&S::ReadNewPages);
    case kOffset: return same(&S::OffsetCorr, &S::P1Text, &S::P2Text, &S::Unit);
    case kWrite:
      return same(&S::WriteConfig, &S::ConfigFile, &S::WLConfig, &S::WriteText, &S::NewID,
                  &S::ID, &S::NewComment, &S::Comment);
    case kLastContact: return same(&S::LastContact);
    default: return true;
  }
}

QString LoggerOptionsModel::StoredComment(const QString& shown) {
  QString t = shown;
  t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return t;
}

QString LoggerOptionsModel::ShownComment(const QString& stored) {
  QString text = stored;
  text.truncate(kMaxCommentLength);
  if (text.endsWith(QLatin1Char('\r'))) text.chop(1);  // no half line break
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

int LoggerOptionsModel::ShownUnit(int stored) {
  const int unit = stored & 0xFF;
  return unit < kPressureUnitCount ? unit : 0;
}

DeviceValues LoggerOptionsModel::ToStore(const ShownOptions& s) {
  DeviceValues v;
  v.Description = s.Description;
  v.ReadActualRec = s.ReadActualRec;
  v.ReadFromMonth = s.ReadFromMonth;
  v.ReadFromYear = s.ReadFromYear;
  v.SynchTime = s.SynchTime;
  v.OffsetCorr = s.OffsetCorr;
  v.P1Val = OffsetText(OffsetValue(s.P1Text));
  v.P2Val = OffsetText(OffsetValue(s.P2Text));
  v.PUnit = s.Unit;
  v.CustomUnit = UnitName(s.Unit);
  v.WriteConfig = s.WriteConfig;
  v.ConfigFile = s.ConfigFile;
  v.WriteText = s.WriteText;
  v.WLConfig = s.WLConfig;
  v.NewID = s.NewID;
  v.ID = s.ID;
  v.NewComment = s.NewComment;
  v.Comment = StoredComment(s.Comment);
  v.LastContact = s.LastContact;
  return v;
}

const OptionsEntry& LoggerOptionsModel::Load(const QString& serial) {
  serial_ = serial;
  loaded_ = OptionsEntry::Read(serial);
  fromStore_ = loaded_.InStore();
  return loaded_;
}

void LoggerOptionsModel::LoadNew(const QString& serial) {
  serial_ = serial;
  fromStore_ = false;
}

std::optional<OptionsEntry> LoggerOptionsModel::ChangedUnderneath() const {
  if (!fromStore_) return std::nullopt;
  OptionsEntry now = OptionsEntry::Read(serial_);
  if (!now.InStore() || now == loaded_) return std::nullopt;
  return now;
}

LoggerOptionsModel::Taken LoggerOptionsModel::TakeStored(const OptionsEntry& now,
                                                         const ShownOptions& typed,
                                                         const ShownOptions& stored) {
  Taken taken;
  QStringList kept, adopted;
  for (int s = 0; s < kSectionCount; ++s) {
    const bool edited = !SameSection(s, typed, shown_);
    const bool changed = !SameSection(s, stored, shown_);
    if (edited) {
      taken.Typed.push_back(static_cast<Section>(s));
      if (changed) kept << SectionName(s);
    } else if (changed) {
      adopted << SectionName(s);
    }
  }
  loaded_ = now;
  shown_ = stored;
  if (kept.isEmpty() && adopted.isEmpty()) return taken;
  taken.Notice = Text(kTextStoreChanged) + QLatin1Char(' ') + serial_ + QLatin1Char(' ') +
                 Text(kTextStoreChanged2);
  const auto line = [&taken](int id, const QStringList& sections) {
    if (sections.isEmpty()) return;
    taken.Notice += QLatin1Char('\n') + Text(id) + QLatin1Char(' ') +
                    sections.join(QStringLiteral(", "));
  };
  line(kTextKeptAsTyped, kept);
  line(kTextNowAsStored, adopted);
  return taken;
}

bool LoggerOptionsModel::Save(const QString& serial, const ShownOptions& shown) {
  RegisteredDeviceStore store;
  const bool ok = store.Write(serial, ToStore(shown)) &&
                  store.SetReadOnlyNewPages(serial, shown.ReadNewPages);
  if (ok && serial == serial_) {
    loaded_ = OptionsEntry::Read(serial);
    fromStore_ = loaded_.InStore();
    shown_ = shown;
  }
  return ok;
}

}  // namespace varnel
