#include "engine/platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bnch {
namespace {

TEST(Text, TrimsBlanksAndEveryKindOfLineBreakButNothingInside) {
  EXPECT_EQ(trimmedText(" \t\r\n3.13.1\r\n\v\f "), "3.13.1");
  EXPECT_EQ(trimmedText("\xC2\x85/usr/bin/python3\xE2\x80\xA8\xE2\x80\xA9"), "/usr/bin/python3");
  EXPECT_EQ(trimmedText("a \n b"), "a \n b");
  EXPECT_EQ(trimmedText(" \n\r\n "), "");
  EXPECT_EQ(trimmedText(""), "");
  // A lone lead byte of U+2028 is not a line break and stays.
  EXPECT_EQ(trimmedText("x\xE2\x80"), "x\xE2\x80");
}

TEST(Text, SplitsLinesAtAnyBreakAndDropsEmptyOnes) {
  EXPECT_EQ(nonEmptyLines("one\r\ntwo\rthree\n\nfour\xE2\x80\xA8"
                          "five\n"),
            (std::vector<std::string>{"one", "two", "three", "four", "five"}));
  EXPECT_TRUE(nonEmptyLines("\n\r\n").empty());
  EXPECT_EQ(nonEmptyLines("last without a break"), std::vector<std::string>{"last without a break"});
}

TEST(Text, LineBreakLengthCountsCrLfAsOne) {
  EXPECT_EQ(lineBreakLength("\r\nx", 0), 2u);
  EXPECT_EQ(lineBreakLength("\rx", 0), 1u);
  EXPECT_EQ(lineBreakLength("\xC2\x85", 0), 2u);
  EXPECT_EQ(lineBreakLength("ab", 1), 0u);
}

}  // namespace
}  // namespace bnch
