// The feedback cards' answers: what is sent, what is remembered, and the
// dismissal sent once per process whichever card closes first.

#include "engine/workflow/nps_feedback.h"

#include <gtest/gtest.h>

#include "engine/product/python_product.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/recording_usage_event_tracker.h"

namespace bnch {
namespace {

using testing::MemoryKeyValueStore;
using testing::RecordingUsageEventTracker;

struct Cards {
  std::shared_ptr<RecordingUsageEventTracker> tracker = std::make_shared<RecordingUsageEventTracker>();
  std::shared_ptr<MemoryKeyValueStore> store = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<OnceOnlyEvents> onceOnly = std::make_shared<OnceOnlyEvents>();
  NPSFeedback card() { return NPSFeedback(tracker, RunMemory(store, pythonProduct()), onceOnly); }
  bool flagStored() const { return store->boolean(pythonProduct().defaultsKey(".nps_submitted")); }
};

TEST(NPSFeedback, ScoresInRangeAreSentAndRememberedOthersAreRefused) {
  struct Case {
    int score;
    std::string reason;
    bool accepted;
    JSONValue sentReason;
  };
  const std::string longReason = "  " + std::string(600, 'x') + " ";
  for (const Case& c : std::vector<Case>{
           {0, "   \t ", true, JSONValue(nullptr)},
           {10, longReason, true, JSONValue(std::string(500, 'x'))},
           {-1, "no", false, JSONValue(nullptr)},
           {11, "no", false, JSONValue(nullptr)},
       }) {
    SCOPED_TRACE(c.score);
    Cards cards;
    NPSFeedback card = cards.card();
    EXPECT_FALSE(card.submittedBefore());
    EXPECT_EQ(card.submit(c.score, c.reason), c.accepted);
    EXPECT_EQ(cards.flagStored(), c.accepted);
    EXPECT_EQ(card.submittedBefore(), c.accepted);
    const auto sent = cards.tracker->named("nps_submitted");
    ASSERT_EQ(sent.size(), c.accepted ? 1U : 0U);
    if (!c.accepted) continue;
    EXPECT_EQ(sent[0].data.at("score"), JSONValue(std::int64_t{c.score}));
    EXPECT_EQ(sent[0].data.at("reason"), c.sentReason);
    EXPECT_FALSE(card.dismiss()) << "an answered card is not dismissed afterwards";
  }
}

TEST(NPSFeedback, DismissalIsSentOncePerProcessWhicheverCardCloses) {
  Cards cards;
  NPSFeedback satisfaction = cards.card();
  NPSFeedback nps = cards.card();
  EXPECT_TRUE(nps.dismiss());
  EXPECT_FALSE(satisfaction.dismiss());
  EXPECT_FALSE(nps.dismiss());
  EXPECT_EQ(cards.tracker->names(), std::vector<std::string>{"nps_dismissed"});
  EXPECT_FALSE(cards.flagStored());
}

}  // namespace
}  // namespace bnch
