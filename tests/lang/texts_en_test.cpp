// The English block is the base language: every id and every character must stand as
// the operator knows them, odd spellings included.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "lang/lang.h"
#include "lang/text_block.h"

namespace varnel {
namespace {

const char* const kExpected =
#include "english_texts.inc"
    ;

std::map<int, std::string> ExpectedTexts() {
  std::map<int, std::string> texts;
  std::istringstream in(kExpected);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const auto tab = line.find('\t');
    texts[std::stoi(line.substr(0, tab))] = line.substr(tab + 1);
  }
  return texts;
}

TEST(EnglishTexts, EveryIdReadsExactlyAsExpected) {
  const auto expected = ExpectedTexts();
  ASSERT_EQ(expected.size(), 177u);
  for (const auto& [id, text] : expected) {
    EXPECT_EQ(LoadText(id, kEnglishBase), text) << "id " << id;
  }
}

// Texts the program added later stand above 507, clear of the table the other programs
// of the logger line know.
TEST(EnglishTexts, BlockHoldsNoIdBeyondTheExpectedOnesUpTo507) {
  const auto expected = ExpectedTexts();
  std::size_t known = 0;
  for (const TextEntry& e : EnglishTexts()) {
    if (e.Id > 507) continue;
    ++known;
    EXPECT_TRUE(expected.count(e.Id)) << "unexpected id " << e.Id;
  }
  EXPECT_EQ(known, expected.size());
}

TEST(EnglishTexts, OddSpellingsAndPunctuationSurvive) {
  EXPECT_EQ(LoadText(55, kEnglishBase), "State: Registratie prepared");
  EXPECT_EQ(LoadText(67, kEnglishBase), "Found registred device");
  EXPECT_EQ(LoadText(316, kEnglishBase), "Add  device");
  EXPECT_EQ(LoadText(234, kEnglishBase), "Please separate multiple commands by \";\" (w/o \"\")");
  EXPECT_EQ(LoadText(121, kEnglishBase), "Phone-Number");
}

}  // namespace
}  // namespace varnel
