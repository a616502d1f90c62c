// The read/write options dialog's model without widgets: which sections stay as typed when
// the store changes underneath, what the operator is told, and what a save writes.
#include <QDate>
#include <gtest/gtest.h>

#include "app/registered_device_store.h"
#include "dialogs/logger_options_model.h"
#include "temp_store.h"

namespace varnel {
namespace {

using M = LoggerOptionsModel;

class LoggerOptionsModelTest : public test::TempStore {
 protected:
  // A device registered with a configuration to write and an offset, shown as the dialog
  // shows it.
  void SetUp() override {
    TempStore::SetUp();
    DeviceValues v;
    v.Description = "before";
    v.OffsetCorr = true;
    v.P1Val = OffsetText(5);
    v.WriteConfig = true;
    v.ConfigFile = "/cfg/a.cfx";
    ASSERT_TRUE(store.Write("40123", v));
    ASSERT_TRUE(model.Load("40123").InStore());
    shown.Description = "before";
    shown.OffsetCorr = true;
    shown.P1Text = "5";
    shown.P2Text = "0";
    shown.WriteConfig = true;
    shown.ConfigFile = "/cfg/a.cfx";
    model.SetShown(shown);
  }
  RegisteredDeviceStore store;
  M model;
  ShownOptions shown;
};

TEST_F(LoggerOptionsModelTest, TypedSectionsStayAndTheOthersTakeWhatACallReset) {
  ShownOptions typed = shown;
  typed.P1Text = "7";       // changed by the operator and by the reset
  typed.SynchTime = false;  // changed by the operator only
  ASSERT_TRUE(store.Reset("40123", QDate(2026, 3, 9), "09.03.2026 10:00:00"));

  const std::optional<OptionsEntry> now = model.ChangedUnderneath();
  ASSERT_TRUE(now);
  ShownOptions reset = shown;  // what the controls show of the reset entry
  reset.Description.clear();
  reset.OffsetCorr = false;
  reset.P1Text = "0";
  reset.ReadFromMonth = 2;
  reset.ReadFromYear = 2026;
  reset.WriteConfig = false;
  reset.ConfigFile.clear();
  reset.LastContact = "09.03.2026 10:00:00";
  const M::Taken taken = model.TakeStored(*now, typed, reset);
  EXPECT_EQ(taken.Typed, (std::vector<M::Section>{M::kClock, M::kOffset}));
  EXPECT_EQ(taken.Notice,
            "The stored options of device 40123 were changed meanwhile (by a call or by another "
            "program).\n"
            "Kept as you changed them: Offset correction\n"
            "Now as stored: Description of the device, Readout Options, Write Configuration, "
            "Last contact to device");

  // The reset entry is the new starting point; what stays as typed is still the operator's.
  EXPECT_FALSE(model.ChangedUnderneath());
  ShownOptions merged = reset;
  merged.SynchTime = false;
  merged.OffsetCorr = true;
  merged.P1Text = "7";
  ASSERT_TRUE(store.SetReadOnlyNewPages("40123", true));
  ShownOptions pages = reset;
  pages.ReadNewPages = true;
  const M::Taken again = model.TakeStored(*model.ChangedUnderneath(), merged, pages);
  EXPECT_EQ(again.Typed, (std::vector<M::Section>{M::kClock, M::kOffset}));
  EXPECT_TRUE(again.Notice.endsWith("program).\nNow as stored: Read only new pages"));
}

TEST_F(LoggerOptionsModelTest, AChangeNothingShowsOfIsNotTold) {
  DeviceValues v = store.Read("40123").Values;
  v.CustomUnit = "mbar";  // not shown: the unit list shows PUnit
  ASSERT_TRUE(store.Write("40123", v));
  ShownOptions typed = shown;
  typed.Description = "after";
  const M::Taken taken = model.TakeStored(*model.ChangedUnderneath(), typed, shown);
  EXPECT_EQ(taken.Typed, std::vector<M::Section>{M::kDescription});
  EXPECT_TRUE(taken.Notice.isEmpty());
}

TEST_F(LoggerOptionsModelTest, NothingChangesUnderneathANewDeletedOrRewrittenEntry) {
  ASSERT_TRUE(store.Write("40123", store.Read("40123").Values));  // the same values again
  EXPECT_FALSE(model.ChangedUnderneath());
  ASSERT_TRUE(store.Remove("40123"));  // comes back at the save, as typed
  EXPECT_FALSE(model.ChangedUnderneath());
  model.LoadNew("500");
  ASSERT_TRUE(store.Write("500", DeviceValues{}));
  EXPECT_FALSE(model.ChangedUnderneath());
}

TEST_F(LoggerOptionsModelTest, SavingWritesWhatIsShownAndStartsAfreshFromIt) {
  ShownOptions typed = shown;
  typed.P1Text = "12.5";
  typed.P2Text = "-";  // not a number: saved as zero
  typed.Unit = 1;
  typed.ReadNewPages = true;
  typed.Comment = "two\nlines";
  ASSERT_TRUE(model.Save("40123", typed));
  const StoredDevice saved = store.Read("40123");
  EXPECT_EQ(int(saved.Present.count()), kDeviceValueCount);
  EXPECT_EQ(saved.Values.P1Val, OffsetText(12.5));
  EXPECT_EQ(saved.Values.P2Val, OffsetText(0));
  EXPECT_EQ(saved.Values.PUnit, 1);
  EXPECT_EQ(saved.Values.CustomUnit, "mbar");
  EXPECT_EQ(saved.Values.Comment, "two\r\nlines");
  EXPECT_TRUE(store.ReadOnlyNewPages("40123"));
  EXPECT_FALSE(model.ChangedUnderneath());

  // What was saved is no longer an edit.
  ASSERT_TRUE(store.SetReadOnlyNewPages("40123", false));
  ShownOptions stored = typed;
  stored.ReadNewPages = false;
  EXPECT_TRUE(model.TakeStored(*model.ChangedUnderneath(), typed, stored).Typed.empty());
  EXPECT_FALSE(model.Save("a/b", typed));  // refused as a name: nothing written
  EXPECT_FALSE(store.Contains("a"));
}

TEST(LoggerOptionsShown, TheCommentIsCutAsStoredWithoutHalfALineBreak) {
  const QString stored = QString(M::kMaxCommentLength - 1, 'c') + "\r\nnext";
  EXPECT_EQ(M::ShownComment(stored), QString(M::kMaxCommentLength - 1, 'c'));
  EXPECT_EQ(M::ShownComment("one\r\ntwo"), "one\ntwo");
  EXPECT_EQ(M::ShownUnit(0x0101), 1);  // the low byte
  EXPECT_EQ(M::ShownUnit(200), 0);     // outside the list: bar
}

}  // namespace
}  // namespace varnel
