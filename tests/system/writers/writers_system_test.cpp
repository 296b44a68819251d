// The engine's file writers in the simulated Mac. Each test runs a shell script
// inside a fresh scenario; the script drives bnch-writers-driver and checks what
// a new terminal sees, printing "FAIL: ..." for every broken expectation.
#include <gtest/gtest.h>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

MacRun runScript(std::string_view scenario, const char* script) {
  return runInMac(scenario,
                  {"/bin/sh", std::string(BNCH_WRITERS_SCRIPTS_DIR) + "/" + script, BNCH_WRITERS_DRIVER_PATH});
}

TEST(WritersInSimulatedMac, ShellSetUpWorksInNewTerminalsAndASecondRunChangesNothing) {
  if (!sandboxAvailable()) GTEST_SKIP() << "no sandbox on this machine";
  const MacRun run = runScript("fresh-mac", "shell_setup_test.sh");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("PASS: shell set-up in a simulated fresh Mac"), std::string::npos) << run.out << run.err;
}

TEST(WritersInSimulatedMac, ThePersonsExistingFilesAreKept) {
  if (!sandboxAvailable()) GTEST_SKIP() << "no sandbox on this machine";
  const MacRun run = runScript("noisy-zprofile", "existing_files_test.sh");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("PASS: the person's existing files are kept"), std::string::npos) << run.out << run.err;
}

}  // namespace
}  // namespace bnch::systest
