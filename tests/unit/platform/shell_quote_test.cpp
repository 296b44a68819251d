#include "engine/platform/shell_quote.h"

#include <gtest/gtest.h>

#include "engine/platform/live_process_runner.h"

namespace bnch {
namespace {

// What a real POSIX shell makes of `word` (printf %s prints its one argument as is).
std::string asSeenByTheShell(const std::string& word) {
  LiveProcessRunner runner;
  const ProcessResult result = runner.run(
      ProcessRequest{.executable = "/bin/sh", .arguments = {"-c", "printf %s " + word}, .environment = std::nullopt});
  EXPECT_EQ(result.exitCode, 0) << result.stdErr;
  return result.stdOut;
}

const std::vector<std::string> kNastyValues{
    "plain", "it's", "''", "a b\tc", "$HOME", "`id`", "$(id)", "back\\slash", "say \"hi\"", "semi; rm -rf x", "",
};

TEST(ShellQuote, SingleQuotedValuesReachTheProgramUnchanged) {
  EXPECT_EQ(shellSingleQuote("it's"), "'it'\\''s'");
  for (const std::string& value : kNastyValues) EXPECT_EQ(asSeenByTheShell(shellSingleQuote(value)), value);
}

TEST(ShellQuote, DoubleQuoteEscapedValuesReachTheProgramUnchanged) {
  EXPECT_EQ(shellDoubleQuoteEscape("a\"$`\\b"), "a\\\"\\$\\`\\\\b");
  for (const std::string& value : kNastyValues) {
    EXPECT_EQ(asSeenByTheShell("\"" + shellDoubleQuoteEscape(value) + "\""), value);
  }
}

}  // namespace
}  // namespace bnch
