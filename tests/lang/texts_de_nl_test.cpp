// The Dutch and German blocks: same ids as English, the fixed rows exactly, and the
// texts that read the same in every language.
#include <algorithm>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "lang/lang.h"
#include "lang/text_block.h"

namespace varnel {
namespace {

struct FixedRow {
  int id;
  const char* english;
  const char* dutch;
  const char* german;
};

const FixedRow kFixedRows[] = {
#include "fixed_translations.inc"
};

std::set<int> IdsOf(std::span<const TextEntry> block) {
  std::set<int> ids;
  for (const TextEntry& e : block) ids.insert(e.Id);
  return ids;
}

TEST(Translations, EveryBlockHolds177TextsUpTo507AndAllUnderTheSameIds) {
  for (auto block : {EnglishTexts(), DutchTexts(), GermanTexts()}) {
    EXPECT_EQ(std::count_if(block.begin(), block.end(), [](const TextEntry& e) { return e.Id <= 507; }),
              177);
  }
  EXPECT_EQ(IdsOf(DutchTexts()), IdsOf(EnglishTexts()));
  EXPECT_EQ(IdsOf(GermanTexts()), IdsOf(EnglishTexts()));
}

TEST(Translations, BlocksAreStrictlyOrderedByIdSoTheLookupFindsEveryEntry) {
  const std::pair<std::span<const TextEntry>, int> blocks[] = {
      {EnglishTexts(), kEnglishBase}, {DutchTexts(), kDutchBase}, {GermanTexts(), kGermanBase}};
  for (const auto& [block, base] : blocks) {
    for (std::size_t i = 1; i < block.size(); ++i) EXPECT_LT(block[i - 1].Id, block[i].Id);
    for (const TextEntry& e : block) EXPECT_EQ(LoadText(e.Id, base), e.Text) << base + e.Id;
  }
}

TEST(Translations, EveryTextIsNonEmptyAndShortEnoughForTheWindows) {
  for (auto block : {EnglishTexts(), DutchTexts(), GermanTexts()}) {
    for (const TextEntry& e : block) {
      EXPECT_FALSE(e.Text.empty()) << "id " << e.Id;
      EXPECT_EQ(ClipText(e.Text, 77), e.Text) << "id " << e.Id << " is longer than 77 characters";
    }
  }
}

TEST(Translations, FixedRowsReadExactlyAsGiven) {
  ASSERT_EQ(std::size(kFixedRows), 26u);
  for (const FixedRow& row : kFixedRows) {
    EXPECT_EQ(LoadText(row.id, kEnglishBase), row.english) << "id " << row.id;
    EXPECT_EQ(LoadText(row.id, kDutchBase), row.dutch) << "id " << row.id;
    EXPECT_EQ(LoadText(row.id, kGermanBase), row.german) << "id " << row.id;
  }
}

TEST(Translations, CommandLikeTextsReadTheSameInAllLanguages) {
  for (int id : {4, 5, 8, 14, 25, 26, 223, 206, 207, 208}) {
    const std::string english = LoadText(id, kEnglishBase);
    EXPECT_FALSE(english.empty());
    EXPECT_EQ(LoadText(id, kDutchBase), english) << "id " << id;
    EXPECT_EQ(LoadText(id, kGermanBase), english) << "id " << id;
  }
}

TEST(Translations, TellingDetailsOfTheFixedRows) {
  // The German port menu has no accelerator mark.
  EXPECT_EQ(LoadText(2, kGermanBase).find('&'), std::string::npos);
  // Dutch "Abort" and "Cancel" read the same.
  EXPECT_EQ(LoadText(506, kDutchBase), LoadText(502, kDutchBase));
  // The umlaut reaches the caller as UTF-8.
  EXPECT_EQ(LoadText(321, kGermanBase), "M\xC3\xA4rz");
}

TEST(Translations, OtherTextsAreTranslatedNotCopied) {
  // Spot checks that the translated blocks are not English left in place.
  for (int id : {1, 42, 61, 84, 203, 300, 319, 453}) {
    EXPECT_NE(LoadText(id, kDutchBase), LoadText(id, kEnglishBase)) << "id " << id;
    EXPECT_NE(LoadText(id, kGermanBase), LoadText(id, kEnglishBase)) << "id " << id;
  }
}

}  // namespace
}  // namespace varnel
