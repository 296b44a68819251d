// benchkit-doctor runs unchanged in the simulated Mac and its JSON comes back parsed.
#include <gtest/gtest.h>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

TEST(Doctor, ConfigJsonComesBackFromTheSimulatedMac) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  const nlohmann::json config = doctorJson("fresh-mac", {"config"});
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config.value("displayName", ""), "Benchkit for Python");
}

TEST(Doctor, OutputThatIsNotJsonIsReportedWithBothStreams) {
  if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  try {
    doctorJson("fresh-mac", {"no-such-command"});
    FAIL() << "expected an error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("usage: benchkit-doctor"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace bnch::systest
