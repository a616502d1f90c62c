// Looking a text up: language bases, ids without a text, the length limit.
#include <gtest/gtest.h>

#include <string>

#include "lang/lang.h"

namespace varnel {
namespace {

// Restores the language in effect after each test, so the order of tests does not matter.
class Lookup : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = LanguageBase(); }
  void TearDown() override { SetLanguageBase(saved_); }

 private:
  std::int16_t saved_ = 0;
};

TEST_F(Lookup, UsesTheLanguageInEffect) {
  SetLanguageBase(kEnglishBase);
  EXPECT_EQ(LoadText(1), "&File");
  SetLanguageBase(kDutchBase);
  EXPECT_EQ(LoadText(1), "&Bestand");
  SetLanguageBase(kGermanBase);
  EXPECT_EQ(LoadText(1), "&Datei");
  EXPECT_EQ(LanguageBase(), kGermanBase);
}

TEST_F(Lookup, IdsWithoutATextGiveTheEmptyText) {
  for (int base : {kEnglishBase, kDutchBase, kGermanBase}) {
    // Gaps inside the table, e.g. ids the options dialog asks for but that have no entry.
    for (int id : {23, 24, 34, 40, 68, 120, 179, 182, 209, 342, 406, 457, 999}) {
      EXPECT_EQ(LoadText(id, base), "") << "id " << id << " base " << base;
    }
    EXPECT_EQ(LoadText(-1, base), "");
  }
}

TEST_F(Lookup, AnIdNeverReachesIntoTheNextLanguageBlock) {
  // Entry 1000 is Dutch id 0, but id 1000 is no id of the table.
  EXPECT_EQ(LoadText(1000, kEnglishBase), "");
  EXPECT_EQ(LoadText(1001, kEnglishBase), "");
  EXPECT_EQ(LoadText(-1000, kDutchBase), "");
}

TEST_F(Lookup, BasesWithoutABlockGiveEmptyTexts) {
  for (int base : {3000, -1000, 4000, 32000, -32768}) {
    for (int id : {0, 1, 128, 507}) EXPECT_EQ(LoadText(id, base), "") << base + id;
  }
  SetLanguageBase(3000);
  EXPECT_EQ(LoadText(0), "");
  EXPECT_EQ(LoadText(61), "");
}

TEST_F(Lookup, LanguageListPositionsMapToBases) {
  EXPECT_EQ(LanguageBaseOfIndex(0), kEnglishBase);
  EXPECT_EQ(LanguageBaseOfIndex(1), kDutchBase);
  EXPECT_EQ(LanguageBaseOfIndex(2), kGermanBase);
  // Nothing chosen, or a position past the list, falls back to English.
  EXPECT_EQ(LanguageBaseOfIndex(-1), kEnglishBase);
  EXPECT_EQ(LanguageBaseOfIndex(3), kEnglishBase);

  EXPECT_EQ(LanguageIndexOfBase(kEnglishBase), 0);
  EXPECT_EQ(LanguageIndexOfBase(kDutchBase), 1);
  EXPECT_EQ(LanguageIndexOfBase(kGermanBase), 2);
  EXPECT_EQ(LanguageIndexOfBase(3000), -1);
  EXPECT_EQ(LanguageIndexOfBase(1500), -1);
  EXPECT_EQ(LanguageIndexOfBase(-1000), -1);
  // The language list itself is named the same way in every block.
  for (int i = 0; i < kLanguageCount; ++i) {
    EXPECT_EQ(LoadText(206 + i, LanguageBaseOfIndex(i)), LoadText(206 + i, kEnglishBase));
  }
}

TEST_F(Lookup, TextsAreClippedTo254Characters) {
  const std::string longAscii(300, 'x');
  EXPECT_EQ(ClipText(longAscii), std::string(254, 'x'));
  EXPECT_EQ(ClipText(std::string(254, 'y')), std::string(254, 'y'));
  EXPECT_EQ(ClipText(""), "");
}

TEST_F(Lookup, ClippingCountsCharactersAndNeverSplitsOne) {
  // 253 ASCII characters, then two two-byte characters: the limit falls after the first.
  const std::string umlaut = "\xC3\xA4";
  const std::string text = std::string(253, 'a') + umlaut + umlaut;
  const std::string clipped = ClipText(text);
  EXPECT_EQ(clipped, std::string(253, 'a') + umlaut);
  // 254 umlauts are 508 bytes but only 254 characters: nothing is cut.
  std::string umlauts;
  for (int i = 0; i < 254; ++i) umlauts += umlaut;
  EXPECT_EQ(ClipText(umlauts), umlauts);
  EXPECT_EQ(ClipText(umlauts + "z"), umlauts);
  EXPECT_EQ(ClipText("M\xC3\xA4rz", 2), "M\xC3\xA4");
}

}  // namespace
}  // namespace varnel
