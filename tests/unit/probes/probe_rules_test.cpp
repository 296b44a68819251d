// The text rules the profiler applies to what programs and files answer.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>

#include "engine/contracts/uv_contract.h"
#include "engine/contracts/version_text.h"
#include "engine/probes/java_probe.h"
#include "engine/probes/system_profiler.h"
#include "engine/probes/xcode_clt_probe.h"

namespace bnch {
namespace {

TEST(JavaHomeListing, ReadsJdkLinesWithTabsAndSpacesAndSkipsTheRest) {
  const std::string listing =
      "Matching Java Virtual Machines (3):\n"
      "    21.0.2 (arm64) \"Eclipse Adoptium\" - \"OpenJDK 21.0.2\" "
      "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home\n"
      "\t17.0.9\t(x86_64)\t\"Amazon.com Inc.\"\t-\t\"Amazon Corretto 17\"\t/Users/alice/jdks/corretto 17/Home \t\n"
      "    1.8.0_392 (arm64) \"Azul Systems, Inc.\" - \"Zulu 8\" relative/path/Home\n"
      "11.0.1 (arm64) \"Oracle\" - \"Java SE 11\" /Library/Java/JavaVirtualMachines/jdk-11.jdk/Contents/Home\n"
      "\n"
      "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home\n";
  const auto jdks = JavaProbe::parseJavaHomeListing(listing);
  ASSERT_EQ(jdks.size(), 2u);
  EXPECT_EQ(jdks[0], (JDKInfo{"21.0.2", "Eclipse Adoptium", "arm64",
                              "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home"}));
  // The path keeps inner spaces and loses trailing spaces and tabs.
  EXPECT_EQ(jdks[1], (JDKInfo{"17.0.9", "Amazon.com Inc.", "x86_64", "/Users/alice/jdks/corretto 17/Home"}));
}

// Runs `work` on a thread with the 512 KB stack macOS gives secondary threads.
void onSmallStack(const std::function<void()>& work) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 512 * 1024);
  pthread_t thread;
  auto run = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

TEST(JavaHomeListing, GarbageGivesNothingAndLongLinesAreRead) {
  EXPECT_TRUE(JavaProbe::parseJavaHomeListing("Unable to find any JVMs matching version \"(null)\".\n").empty());
  EXPECT_TRUE(JavaProbe::parseJavaHomeListing("\xff\xfe (\xff) \"\" - \"\" \n").empty());
  EXPECT_TRUE(JavaProbe::parseJavaHomeListing("    17 () \"v\" - \"n\" /jdk\n").empty());    // empty architecture
  EXPECT_TRUE(JavaProbe::parseJavaHomeListing("    17 (arm64) \"v\" - \"n\" /\n").empty());  // "/" alone
  EXPECT_TRUE(JavaProbe::parseJavaHomeListing("    17 (arm64) \"v\" -\"n\" /jdk\n").empty());
  EXPECT_TRUE(JavaProbe::parseJavaHomeListing("    17 (arm64) \"v\" - \"n\" /jdk\rHome\n").empty());
  // A long line is read in one pass, also on a small stack.
  const std::string folder = "/Library/Java/" + std::string(200000, 'x');
  std::vector<JDKInfo> jdks;
  onSmallStack([&] {
    jdks = JavaProbe::parseJavaHomeListing("    17.0.9 (arm64) \"Vendor (x) \" - \"Name\" " + folder + " \n");
    EXPECT_TRUE(JavaProbe::isJavaVersion(std::string(200000, '1')));
  });
  EXPECT_EQ(jdks, (std::vector<JDKInfo>{{"17.0.9", "Vendor (x) ", "arm64", folder}}));
}

TEST(JavaVersionTest, ValueMustBeginWithDigits) {
  EXPECT_TRUE(JavaProbe::isJavaVersion("17.0.9"));
  EXPECT_TRUE(JavaProbe::isJavaVersion("21"));
  EXPECT_TRUE(JavaProbe::isJavaVersion("1.8.0_392"));
  EXPECT_FALSE(JavaProbe::isJavaVersion(""));
  EXPECT_FALSE(JavaProbe::isJavaVersion("v17"));
  EXPECT_FALSE(JavaProbe::isJavaVersion(" 17"));
  EXPECT_FALSE(JavaProbe::isJavaVersion(".17"));
  EXPECT_TRUE(JavaProbe::isJavaVersion("x\" version \"9"));  // searched, as the pattern is
}

TEST(ReleaseFile, SplitsAtFirstEqualsAndDropsQuotes) {
  const auto values = JavaProbe::parseReleaseFile(
      "IMPLEMENTOR=\"Eclipse Adoptium\"\n"
      "  JAVA_VERSION =\t\"17.0.9\"  \r\n"
      "JAVA_RUNTIME_VERSION=\"17.0.9+9\"\n"
      "MODULES=a=b\n"
      "QUOTE=\"\n"
      "no equals sign here\n");
  EXPECT_EQ(values.at("IMPLEMENTOR"), "Eclipse Adoptium");
  EXPECT_EQ(values.at("JAVA_VERSION"), "17.0.9");
  EXPECT_EQ(values.at("MODULES"), "a=b");
  EXPECT_EQ(values.at("QUOTE"), "\"");  // one quote is not a quoted value
  EXPECT_EQ(values.size(), 5u);
}

TEST(JavaHomeInShell, TheLastMarkerLineDecides) {
  EXPECT_EQ(JavaProbe::javaHomeFromShellOutput("__BNCH_JAVA_HOME__:/old\nnoise\n__BNCH_JAVA_HOME__: /jdk/Home \t\n"),
            "/jdk/Home");
  EXPECT_EQ(JavaProbe::javaHomeFromShellOutput("welcome!\n__BNCH_JAVA_HOME__:\n"), std::nullopt);
  EXPECT_EQ(JavaProbe::javaHomeFromShellOutput("__BNCH_JAVA_HOME__:/a\n__BNCH_JAVA_HOME__:\n"), std::nullopt);
  EXPECT_EQ(JavaProbe::javaHomeFromShellOutput("no marker at all\n"), std::nullopt);
}

TEST(DeveloperFolder, OnlyAPlainPathFromASuccessfulRun) {
  EXPECT_EQ(XcodeCLTProbe::developerFolder({0, "/Library/Developer/CommandLineTools\n", true}),
            "/Library/Developer/CommandLineTools");
  EXPECT_EQ(XcodeCLTProbe::developerFolder({2, "/Library/Developer/CommandLineTools\n", true}), std::nullopt);
  EXPECT_EQ(XcodeCLTProbe::developerFolder({0, "xcode-select: error: no developer tools\n", true}), std::nullopt);
  EXPECT_EQ(XcodeCLTProbe::developerFolder({0, "  \n", true}), std::nullopt);
  EXPECT_EQ(XcodeCLTProbe::developerFolder({-1, "", false}), std::nullopt);
}

TEST(ShellVariable, LastPathComponentNamesTheShell) {
  EXPECT_EQ(SystemProfiler::shellFromVariable("/bin/zsh"), Shell::zsh());
  EXPECT_EQ(SystemProfiler::shellFromVariable("/opt/homebrew/bin/fish"), Shell::fish());
  EXPECT_EQ(SystemProfiler::shellFromVariable("bash"), Shell::bash());
  EXPECT_EQ(SystemProfiler::shellFromVariable("/usr/local/bin/tcsh"), Shell::other("tcsh"));
  EXPECT_EQ(SystemProfiler::shellFromVariable(std::nullopt), Shell::other("unknown"));
  EXPECT_EQ(SystemProfiler::shellFromVariable("/bin/zsh/"), Shell::zsh());
  EXPECT_EQ(SystemProfiler::shellFromVariable("/"), Shell::other("unknown"));
  EXPECT_EQ(SystemProfiler::shellFromVariable("//"), Shell::other("unknown"));
  EXPECT_EQ(SystemProfiler::shellFromVariable(""), Shell::other("unknown"));
}

TEST(AdministratorAnswer, YesOrNoInAnyCaseElseNoVerdict) {
  EXPECT_EQ(SystemProfiler::administratorFromAnswer("yes alice is a member of admin\n"), true);
  EXPECT_EQ(SystemProfiler::administratorFromAnswer("  NO alice is NOT a member of admin"), false);
  EXPECT_EQ(SystemProfiler::administratorFromAnswer("No"), false);
  EXPECT_EQ(SystemProfiler::administratorFromAnswer(""), std::nullopt);
  EXPECT_EQ(SystemProfiler::administratorFromAnswer("Group not found."), std::nullopt);
}

TEST(ProductVersion, ReadsUpToThreeNumbersElseZero) {
  EXPECT_EQ(SystemProfiler::versionFromText("15.1"), (OperatingSystemVersion{15, 1, 0}));
  EXPECT_EQ(SystemProfiler::versionFromText("14.6.1"), (OperatingSystemVersion{14, 6, 1}));
  EXPECT_EQ(SystemProfiler::versionFromText("26"), (OperatingSystemVersion{26, 0, 0}));
  EXPECT_EQ(SystemProfiler::versionFromText("15.x"), (OperatingSystemVersion{}));
  EXPECT_EQ(SystemProfiler::versionFromText("1.2.3.4"), (OperatingSystemVersion{}));
  EXPECT_EQ(SystemProfiler::versionFromText("99999999999.1"), (OperatingSystemVersion{}));
  EXPECT_EQ(SystemProfiler::versionFromText(""), (OperatingSystemVersion{}));
}

TEST(UvFolderNames, ImplementationThenVersionLikePiece) {
  using Name = UvContract::ManagedPythonName;
  EXPECT_EQ(UvContract::parseManagedPythonName("cpython-3.12.4-macos-aarch64-none"), (Name{"cpython", "3.12.4"}));
  EXPECT_EQ(UvContract::parseManagedPythonName("pypy-3.10.14-macos-aarch64-none"), (Name{"pypy", "3.10.14"}));
  EXPECT_EQ(UvContract::parseManagedPythonName("cpython--3.13"), (Name{"cpython", "3.13"}));
  EXPECT_EQ(UvContract::parseManagedPythonName("cpython-3.13.0+freethreaded-macos-aarch64-none"), std::nullopt);
  EXPECT_EQ(UvContract::parseManagedPythonName("graalpy-24.1.0-macos-aarch64-none"), std::nullopt);
  EXPECT_EQ(UvContract::parseManagedPythonName("cpython-3-macos"), std::nullopt);
  EXPECT_EQ(UvContract::parseManagedPythonName("cpython"), std::nullopt);
  EXPECT_EQ(UvContract::parseManagedPythonName(".lock"), std::nullopt);
}

TEST(VersionOrder, NumbersCompareByValue) {
  EXPECT_TRUE(VersionText::less("3.9", "3.13"));
  EXPECT_TRUE(VersionText::less("3.13.0", "3.13.1"));
  EXPECT_TRUE(VersionText::less("3.13", "3.13.0"));
  EXPECT_FALSE(VersionText::less("3.13", "3.9"));
  EXPECT_FALSE(VersionText::less("3.12", "3.12"));
  EXPECT_TRUE(VersionText::less("3.9", "3.99999999999999999999999"));
  EXPECT_EQ(VersionText::highest({"3.9.6", "3.13.1", "3.13.0", "3.10"}), "3.13.1");
  EXPECT_EQ(VersionText::highest({}), std::nullopt);
  EXPECT_TRUE(VersionText::isVersionLike("3.12"));
  EXPECT_FALSE(VersionText::isVersionLike("3"));
  EXPECT_FALSE(VersionText::isVersionLike("3.12-dev"));
  EXPECT_FALSE(VersionText::isVersionLike(".3.12"));
}

}  // namespace
}  // namespace bnch
