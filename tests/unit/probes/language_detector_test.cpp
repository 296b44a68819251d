#include <gtest/gtest.h>

#include "engine/probes/language_detector.h"
#include "engine/remediation/language_remediations.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using Kind = SetupRemediation::Kind;
using testing::RootedFileSystem;
using testing::TempDir;

class LanguageDetectorTest : public ::testing::Test {
 protected:
  LanguageStatus status(BNCHLanguage language) { return LanguageDetector(fs_).status(language); }
  TempDir dir_;
  RootedFileSystem fs_{dir_.path()};
};

TEST_F(LanguageDetectorTest, FirstMatchingCheckWinsPerLanguage) {
  for (auto language : allLanguages) EXPECT_EQ(status(language), LanguageStatus::notInstalled());

  fs_.makeExecutable("/usr/bin/python3");
  EXPECT_EQ(status(BNCHLanguage::python), LanguageStatus::systemInstall());
  fs_.makeDirectory("/Users/alice/anaconda3");
  EXPECT_EQ(status(BNCHLanguage::python), LanguageStatus::managedBy("conda"));
  fs_.makeDirectory("/Users/alice/.pyenv/versions");  // empty: does not count as pyenv
  EXPECT_EQ(status(BNCHLanguage::python), LanguageStatus::managedBy("conda"));
  fs_.makeDirectory("/Users/alice/.pyenv/versions/3.12.1");
  EXPECT_EQ(status(BNCHLanguage::python), LanguageStatus::managedBy("pyenv"));
  fs_.makeDirectory("/Users/alice/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none");
  EXPECT_EQ(status(BNCHLanguage::python), LanguageStatus::setUp("uv"));

  fs_.makeDirectory("/Users/alice/Library/Application Support/fnm");
  EXPECT_EQ(status(BNCHLanguage::node), LanguageStatus::managedBy("fnm"));

  fs_.makeDirectory("/Library/Java/JavaVirtualMachines/zulu-17.jdk");
  EXPECT_EQ(status(BNCHLanguage::java), LanguageStatus::systemInstall());
  fs_.makeDirectory("/Users/alice/.jenv/versions/17");
  EXPECT_EQ(status(BNCHLanguage::java), LanguageStatus::managedBy("jenv"));
  fs_.makeDirectory("/Library/Java/JavaVirtualMachines/temurin-21.jdk");
  EXPECT_EQ(status(BNCHLanguage::java), LanguageStatus::setUp("Temurin"));

  fs_.makeExecutable("/usr/bin/ruby");
  EXPECT_EQ(status(BNCHLanguage::ruby), LanguageStatus::systemInstall());
  fs_.makeDirectory("/Users/alice/.rubies/ruby-3.3.0");
  EXPECT_EQ(status(BNCHLanguage::ruby), LanguageStatus::managedBy("chruby"));

  fs_.makeExecutable("/Users/alice/.cargo/bin/rustc");
  EXPECT_EQ(status(BNCHLanguage::rust), LanguageStatus::setUp("rustup"));
}

TEST(LanguageStatusLine, TextsPerCase) {
  EXPECT_EQ(LanguageStatus::setUp("uv").statusLine(), "already set up (uv)");
  EXPECT_EQ(LanguageStatus::managedBy("nvm").statusLine(), "managed by nvm \u2014 installing ours may conflict");
  EXPECT_EQ(LanguageStatus::systemInstall().statusLine(), "upgrade recommended (an outdated system install was found)");
  EXPECT_EQ(LanguageStatus::notInstalled().statusLine(), std::nullopt);
}

TEST(LanguageNames, RawValuesAndDisplayNames) {
  EXPECT_EQ(languageFromString("node"), BNCHLanguage::node);
  EXPECT_EQ(languageFromString("Node"), std::nullopt);
  EXPECT_EQ(displayName(BNCHLanguage::java), "Java (requires macOS password)");
  EXPECT_EQ(displayName(BNCHLanguage::node), "JavaScript (Node)");
}

TEST(LanguageRemediations, MiseOnlyWhenNeededAndRustFollowsIt) {
  using L = BNCHLanguage;
  EXPECT_TRUE(languageRemediations({}, false).empty());
  EXPECT_EQ(languageRemediations({L::rust}, false),
            (std::vector<SetupRemediation>{SetupRemediation::of(Kind::installRustup)}));
  EXPECT_EQ(languageRemediations({L::rust, L::python}, true),
            (std::vector<SetupRemediation>{SetupRemediation::installUv(true), SetupRemediation::of(Kind::installMise),
                                           SetupRemediation::of(Kind::installRustViaMise)}));
  EXPECT_EQ(languageRemediations({L::java, L::ruby, L::node}, false),
            (std::vector<SetupRemediation>{
                SetupRemediation::of(Kind::installMise), SetupRemediation::of(Kind::installNodeViaMise),
                SetupRemediation::of(Kind::installRubyViaMise), SetupRemediation::of(Kind::installTemurin)}));
  EXPECT_EQ(languageRemediations({L::java}, false),
            (std::vector<SetupRemediation>{SetupRemediation::of(Kind::installTemurin)}));
}

}  // namespace
}  // namespace bnch
