#include "engine/platform/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace bnch {
namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(Utf8, WellFormedTextIsUnchanged) {
  const std::string text = "plain ASCII, caf\xC3\xA9, \xE2\x80\x94 dash, \xF0\x9F\x90\x8D snake, \xEF\xBF\xBF";
  EXPECT_EQ(decodeUtf8Lossy(text), text);
  EXPECT_EQ(decodeUtf8Lossy(std::string("nul \0 inside", 12)), std::string("nul \0 inside", 12));
}

TEST(Utf8, EachMaximalIllFormedSubpartBecomesOneReplacement) {
  struct Case {
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"a\xFF"
       "b",
       "a" + kFFFD + "b"},                                  // never a UTF-8 byte
      {"\x80\x80", kFFFD + kFFFD},                          // stray continuation bytes
      {"\xC0\xAF", kFFFD + kFFFD},                          // overlong '/'
      {"\xE0\x80\xAF", kFFFD + kFFFD + kFFFD},              // overlong three-byte form
      {"\xED\xA0\x80", kFFFD + kFFFD + kFFFD},              // UTF-16 surrogate
      {"\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},  // above U+10FFFF
      {"\xE2\x82"
       "x",
       kFFFD + "x"},                                     // truncated, then ASCII
      {"\xF0\x9F\x90", kFFFD},                           // truncated at the end
      {"\xE2\x82\xE2\x82\xAC", kFFFD + "\xE2\x82\xAC"},  // truncated, then a euro sign
      {std::string(20, 'a') + "\xFE" + std::string(20, 'b'), std::string(20, 'a') + kFFFD + std::string(20, 'b')},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeUtf8Lossy(c.bytes), c.expected) << c.expected;
}

TEST(Utf8, CompletePrefixNeverEndsInsideACharacter) {
  EXPECT_EQ(utf8CompletePrefixLength("abc"), 3u);
  EXPECT_EQ(utf8CompletePrefixLength("ab\xE2\x82\xAC"), 5u);  // a whole euro sign
  EXPECT_EQ(utf8CompletePrefixLength("ab\xE2\x82"), 2u);      // cut before the started one
  EXPECT_EQ(utf8CompletePrefixLength("ab\xF0"), 2u);
  EXPECT_EQ(utf8CompletePrefixLength("ab\xFF"), 3u);  // ill-formed anyway: nothing to keep together
}

}  // namespace
}  // namespace bnch
