// sudo, the password dialog and the Homebrew install script behave as on a Mac: the right
// password gives root, a wrong one or a cancel is refused with the system's own words.
#include <gtest/gtest.h>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

// The askpass script and sudo wrapper the product puts first on PATH before privileged work.
const std::string kPrepareAskpass =
    "mkdir -p /tmp/bnch-priv && cd /tmp/bnch-priv\n"
    "printf '%s\\n' '#!/bin/bash' 'osascript <<EOF' 'activate' "
    "'display dialog \"Enter Mac password to install Homebrew.\" default answer \"\" with hidden answer "
    "with title \"Benchkit\" with icon caution buttons {\"Cancel\", \"OK\"} default button \"OK\"' "
    "'return text returned of result' 'EOF' > askpass.sh\n"
    "printf '#!/bin/bash\\nexec /usr/bin/sudo -A \"$@\"' > sudo\n"
    "chmod 700 askpass.sh sudo\n"
    "cd ~\n"
    "export PATH=/tmp/bnch-priv:$PATH SUDO_ASKPASS=/tmp/bnch-priv/askpass.sh\n";

class Privileges : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

TEST_F(Privileges, TheRightPasswordThroughAskpassRunsTheCommandAsRoot) {
  const MacRun run = runInMac("fresh-mac", {"/bin/bash", "-c", kPrepareAskpass + "sudo id -u; id -u"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "0\n501\n");
}

TEST_F(Privileges, AWrongPasswordIsRefusedWithSudosText) {
  DerivedScenario wrong("fresh-mac", {{"machine", {{"dialog_answer", "hunter2"}}}});
  const MacRun run = runInMac(wrong.path(), {"/bin/bash", "-c", kPrepareAskpass + "sudo id -u"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Sorry, try again.\nSorry, try again.\nsudo: 3 incorrect password attempts\n");
}

TEST_F(Privileges, ACanceledDialogFailsLikeOsascriptAndSudo) {
  DerivedScenario cancel("fresh-mac", {{"machine", {{"dialog", "cancel"}}}});
  const MacRun run = runInMac(cancel.path(), {"/bin/bash", "-c", kPrepareAskpass + "sudo id -u"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("execution error: User canceled. (-128)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("sudo: a password is required"), std::string::npos) << run.err;
}

TEST_F(Privileges, SudoWithoutAskpassOrTerminalNeedsATerminal) {
  const MacRun run = runInMac("fresh-mac", {"/usr/bin/sudo", "id"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("a terminal is required"), std::string::npos);
  EXPECT_NE(run.err.find("a password is required"), std::string::npos);
}

TEST_F(Privileges, AStandardUserIsNotASudoer) {
  const MacRun run = runInMac("standard-user", {"/bin/bash", "-c", kPrepareAskpass + "sudo id -u"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "sam is not in the sudoers file.  This incident will be reported.\n");
}

TEST_F(Privileges, OsascriptRunsAdministratorShellScriptsAfterTheDialog) {
  const std::string as =
      "do shell script \"id -u; mkdir -p /Library/Java/JavaVirtualMachines\" with administrator privileges";
  const MacRun ok = runInMac("fresh-mac", {"/bin/sh", "-c", "osascript -e '" + as + "' && ls -d /Library/Java/*"});
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
  EXPECT_EQ(ok.out, "0\n/Library/Java/JavaVirtualMachines\n");

  DerivedScenario cancel("fresh-mac", {{"machine", {{"dialog", "cancel"}}}});
  const MacRun no = runInMac(cancel.path(), {"/usr/bin/osascript", "-e", as});
  EXPECT_EQ(no.exitCode, 1);
  EXPECT_NE(no.err.find("execution error: User canceled. (-128)"), std::string::npos) << no.err;
}

TEST_F(Privileges, HomebrewInstallScriptWithAskpassGivesAWorkingBrew) {
  const std::string script = kPrepareAskpass +
                             "export NONINTERACTIVE=1\n"
                             "/bin/bash -c \"$(curl -fsSL https://raw.githubusercontent.com/Homebrew/install/HEAD/"
                             "install.sh)\" > /tmp/transcript 2>&1; echo \"install exit $?\"\n"
                             "grep -c '^==> Next steps:' /tmp/transcript\n"
                             "/opt/homebrew/bin/brew --version\n"
                             "test -x /Library/Developer/CommandLineTools/usr/bin/clang && echo clt\n"
                             "/opt/homebrew/bin/brew install uv > /dev/null && echo 'uv installed'\n";
  const MacRun run = runInMac("fresh-mac", {"/bin/bash", "-c", script});
  EXPECT_EQ(run.out, "install exit 0\n1\nHomebrew 4.4.11\nclt\nuv installed\n") << run.err;
}

TEST_F(Privileges, HomebrewInstallScriptStopsOnAWrongPassword) {
  DerivedScenario wrong("fresh-mac", {{"machine", {{"dialog_answer", "nope"}}}});
  const std::string script = kPrepareAskpass +
                             "NONINTERACTIVE=1 /bin/bash -c \"$(curl -fsSL "
                             "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\"; echo \"exit $?\"\n"
                             "test -e /opt/homebrew/bin/brew && echo 'brew exists'\n";
  const MacRun run = runInMac(wrong.path(), {"/bin/bash", "-c", script});
  EXPECT_EQ(run.out.substr(run.out.rfind("exit ")), "exit 1\n");
  EXPECT_NE(run.err.find("sudo: 3 incorrect password attempts"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Need sudo access on macOS (e.g. the user alice needs to be an Administrator)!"),
            std::string::npos);
}

TEST_F(Privileges, HomebrewInstallScriptOnIntelUsesUsrLocal) {
  DerivedScenario intel("fresh-mac", {{"machine", {{"arch", "x86_64"}}}});
  const MacRun run = runInMac(
      intel.path(),
      {"/bin/bash", "-c",
       kPrepareAskpass + "NONINTERACTIVE=1 /bin/bash -c \"$(curl -fsSL "
                         "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\" >/dev/null 2>&1\n"
                         "readlink /usr/local/bin/brew; /usr/local/bin/brew --prefix; test -e /opt/homebrew || echo "
                         "'no /opt/homebrew'"});
  EXPECT_EQ(run.out, "../Homebrew/bin/brew\n/usr/local\nno /opt/homebrew\n") << run.err;
}

TEST_F(Privileges, OldMacOSGetsHomebrewsWarning) {
  const MacRun run = runInMac(
      "old-macos", {"/bin/bash", "-c",
                    kPrepareAskpass + "NONINTERACTIVE=1 /bin/bash -c \"$(curl -fsSL "
                                      "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\""});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.err.find("do not provide support for this old version"), std::string::npos);
}

}  // namespace
}  // namespace bnch::systest
