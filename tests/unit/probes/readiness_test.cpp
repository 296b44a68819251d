// Network, disk and macOS readiness: verdicts from measurements, and the texts.
#include <gtest/gtest.h>

#include "engine/probes/disk_readiness.h"
#include "engine/probes/macos_advisory.h"
#include "engine/probes/network_readiness_probe.h"
#include "engine/probes/readiness_screen_copy.h"
#include "tests/support/canned_http_fetcher.h"

namespace bnch {
namespace {

using testing::CannedHTTPFetcher;

const NetworkReadinessConfig config = NetworkReadinessConfig::python();

TEST(NetworkReadiness, BestRateGivesEstimateAndVerdict) {
  CannedHTTPFetcher http;
  http.sampleResult(config.endpoints[0], ThroughputSample{800'000, 0.8});  // 1 MB/s
  http.sampleResult(config.endpoints[1], ThroughputSample{400'000, 0.8});
  http.answer(config.endpoints[2], URLError(URLErrorCode::timedOut, "timed out"));
  const auto result = NetworkReadinessProbe(http).measure(config);
  EXPECT_EQ(result.verdict, NetworkVerdict::slow);
  EXPECT_EQ(result.estimatedInstallSeconds, 1500);
  EXPECT_DOUBLE_EQ(*result.downMbps, 8.0);
  EXPECT_EQ(result.endpointsReachable, 2);
  EXPECT_EQ(result.endpointsTotal, 3);
  EXPECT_TRUE(shouldWarn(result.verdict));

  // The request asks for the first maxSampleBytes, uncached, within the time-out.
  const auto requests = http.requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].timeoutSeconds, 3.0);
  EXPECT_NE(std::find(requests[0].headers.begin(), requests[0].headers.end(),
                      std::pair<std::string, std::string>{"Range", "bytes=0-799999"}),
            requests[0].headers.end());
}

TEST(NetworkReadiness, TwoAndAHalfMegabytesPerSecondIsJustOk) {
  using Sample = NetworkReadinessProbe::EndpointSample;
  const auto result = NetworkReadinessProbe::judge({{Sample::Throughput{2'500'000}}}, config);
  EXPECT_EQ(result.verdict, NetworkVerdict::ok);
  EXPECT_EQ(result.estimatedInstallSeconds, 600);
}

TEST(NetworkReadiness, UnreachableOnlyWhenEveryEndpointIsDown) {
  using Sample = NetworkReadinessProbe::EndpointSample;
  const Sample down{Sample::Down{}};
  const auto allDown = NetworkReadinessProbe::judge({down, down, down}, config);
  EXPECT_EQ(allDown, (NetworkReadinessResult{NetworkVerdict::unreachable, std::nullopt, std::nullopt, 0, 3}));
  EXPECT_EQ(NetworkReadinessProbe::judge({down, down, {Sample::Timeout{}}}, config).verdict,
            NetworkVerdict::unmeasured);
  const auto responded = NetworkReadinessProbe::judge({down, {Sample::Responded{}}}, config);
  EXPECT_EQ(responded.verdict, NetworkVerdict::unmeasured);
  EXPECT_EQ(responded.endpointsReachable, 1);
  EXPECT_FALSE(shouldWarn(responded.verdict));
  EXPECT_EQ(NetworkReadinessProbe(*std::make_unique<CannedHTTPFetcher>()).measure(NetworkReadinessConfig{}),
            NetworkReadinessResult{});
}

TEST(NetworkReadiness, ErrorKindsMapToDownOrTimeout) {
  CannedHTTPFetcher http;
  http.answer("https://a/", URLError(URLErrorCode::notConnectedToInternet, "offline"));
  http.answer("https://b/", URLError(URLErrorCode::badServerResponse, "bad"));
  http.sampleResult("https://c/", ThroughputSample{0, 0.5});
  using Sample = NetworkReadinessProbe::EndpointSample;
  const NetworkReadinessProbe probe(http);
  EXPECT_EQ(probe.sampleEndpoint("https://a/", config), Sample{Sample::Down{}});
  EXPECT_EQ(probe.sampleEndpoint("https://b/", config), Sample{Sample::Timeout{}});
  EXPECT_EQ(probe.sampleEndpoint("https://c/", config), Sample{Sample::Responded{}});
}

TEST(DiskReadiness, ThresholdsOfThePythonProduct) {
  const auto disk = DiskReadinessConfig::python();
  EXPECT_EQ(DiskReadiness::diskResult(2'900'000'000, disk).verdict, DiskVerdict::critical);
  EXPECT_EQ(DiskReadiness::diskResult(20'000'000'000, disk).verdict, DiskVerdict::low);
  EXPECT_EQ(DiskReadiness::diskResult(24'999'999'999, disk).verdict, DiskVerdict::low);
  EXPECT_EQ(DiskReadiness::diskResult(30'000'000'000, disk),
            (DiskReadinessResult{DiskVerdict::ok, 30'000'000'000, 15'000'000'000, 10'000'000'000}));
  EXPECT_EQ(DiskReadiness::diskResult(std::nullopt, disk).verdict, DiskVerdict::unmeasured);
  EXPECT_FALSE(shouldWarn(DiskVerdict::unmeasured));
  EXPECT_TRUE(shouldWarn(DiskVerdict::low));
}

TEST(MacOSAdvisory, OnlyOldMajorsOnAppleSilicon) {
  auto outdated = [](Architecture architecture, int major) {
    SystemProfile profile;
    profile.architecture = architecture;
    profile.macosVersion = {major, 0, 0};
    return isOutdatedMacOS(profile);
  };
  for (int major : {11, 12, 13}) EXPECT_TRUE(outdated(Architecture::appleSilicon, major)) << major;
  for (int major : {10, 14, 15, 26, 27, 0}) EXPECT_FALSE(outdated(Architecture::appleSilicon, major)) << major;
  EXPECT_FALSE(outdated(Architecture::intel, 13));
  EXPECT_FALSE(outdated(Architecture::unknown, 11));
}

TEST(ReadinessScreenCopy, NetworkTexts) {
  const auto slow = ReadinessScreenCopy::networkCopy(NetworkVerdict::slow, 1500);
  EXPECT_EQ(slow.windowTitle, "Your connection");
  EXPECT_EQ(slow.headline, "Slow Internet Connection");
  EXPECT_EQ(slow.body,
            "Setting up your Mac downloads several hundred megabytes from Apple and Homebrew. On this connection that "
            "will take about 25 minutes. You can continue now, or stop and try again later when your connection is "
            "faster. Nothing has changed on your Mac yet.");
  EXPECT_EQ(slow.continueLabel, "Continue now");
  EXPECT_EQ(slow.stopLabel, "Stop and try later");
  EXPECT_NE(ReadinessScreenCopy::networkCopy(NetworkVerdict::ok, std::nullopt).body.find("about 10 minutes"),
            std::string::npos);
  EXPECT_NE(ReadinessScreenCopy::networkCopy(NetworkVerdict::slow, 20).body.find("about 1 minutes"), std::string::npos);

  const auto unreachable = ReadinessScreenCopy::networkCopy(NetworkVerdict::unreachable, std::nullopt);
  // Straight apostrophes in these two texts.
  EXPECT_EQ(unreachable.headline, "We can't reach the servers needed to install");
  EXPECT_EQ(unreachable.body,
            "The Apple and Homebrew download servers aren't responding right now. You can still try, but it may "
            "fail partway. Checking your internet connection first is recommended.");
  EXPECT_EQ(unreachable.windowTitle, "Your connection");
  EXPECT_EQ(unreachable.continueLabel, "Continue now");
  EXPECT_EQ(unreachable.stopLabel, "Stop and try later");
}

TEST(ReadinessScreenCopy, DiskAndMacOSTexts) {
  const auto critical = ReadinessScreenCopy::diskCopy(DiskVerdict::critical, 2'900'000'000, 15'000'000'000);
  EXPECT_EQ(critical.headline, "Your Mac is almost out of space");
  EXPECT_EQ(critical.body,
            "Your Mac has only about 3 GB free. Installing new software now is likely to fail partway and may leave "
            "your Mac unstable. Freeing up space first is strongly recommended.");
  EXPECT_EQ(critical.stopLabel, "Stop and free up space");
  EXPECT_NE(ReadinessScreenCopy::diskCopy(DiskVerdict::critical, std::nullopt, 1).body.find("only about a few GB"),
            std::string::npos);
  EXPECT_NE(ReadinessScreenCopy::diskCopy(DiskVerdict::critical, 100, 1).body.find("only about 1 GB"),
            std::string::npos);

  const auto low = ReadinessScreenCopy::diskCopy(DiskVerdict::low, std::nullopt, 15'000'000'000);
  EXPECT_EQ(low.windowTitle, "Your disk space");
  EXPECT_EQ(low.headline, "Low on disk space");
  EXPECT_EQ(low.body,
            "Setting up your Mac can add up to about 15 GB if you install everything we recommend. Your Mac has about "
            "a little GB free right now. You can continue and choose fewer items, free up some space first, or stop "
            "and come back later. Nothing has changed on your Mac yet.");
  EXPECT_EQ(low.continueLabel, "Continue anyway");

  const auto macOS = ReadinessScreenCopy::macOSCopy(13);
  EXPECT_EQ(macOS.windowTitle, "Your macOS version");
  EXPECT_EQ(macOS.headline, "This Mac is running an older macOS");
  EXPECT_EQ(macOS.body,
            "macOS 13 is old enough that the tools we install no longer ship prebuilt packages for it. They can still "
            "be installed, but each one has to be built from source, which is much slower and sometimes fails. "
            "Updating macOS first is recommended if you can. Nothing has changed on your Mac yet.");
  EXPECT_EQ(macOS.continueLabel, "Continue anyway");
  EXPECT_EQ(macOS.stopLabel, "Stop and update macOS");
}

}  // namespace
}  // namespace bnch
