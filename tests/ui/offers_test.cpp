// The goal, next-step and offer screens and the NPS card of a product whose
// configuration supplies them, driven through the real QML by objectName.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QQmlComponent>

#include "tests/ui/screen_fixture.h"

namespace bnch::ui {
namespace {

using ::testing::ElementsAre;

constexpr int kDetailMaxChars = 40;

// The Python product with the questions and offers of a sibling product.
class Offers : public Screens {
 public:
  Offers() {
    config.goalPrompt = GoalPrompt{
        .question = "What brings you here?",
        .subcopy = "Pick the closest.",
        .surface = "welcome_goal",
        .detailMaxChars = kDetailMaxChars,
        .options = {{.key = "learn", .label = "Learn to code"},
                    {.key = "fix", .label = "Fix my setup", .detailPrompt = "What's broken?"}},
    };
    auto option = [](std::string key, Outcome outcome, OfferRoute route) {
      return NextStepOption{.key = key, .label = "Label of " + key, .outcome = outcome, .offer = std::move(route)};
    };
    config.nextStepPrompt = NextStepPrompt{
        .question = "What next?",
        .leadIn = "Choose one.",
        .surface = "post_setup",
        .options = {option("course", Outcome::ready, OfferRoute{.offerID = "course_offer"}),
                    option("stuck", Outcome::stillBlocked, OfferRoute{.kind = OfferRoute::Kind::guidedHelpWTP}),
                    option("build", Outcome::unsure, OfferRoute{.kind = OfferRoute::Kind::aiCodingInterest})},
    };
    config.offerCatalog["course_offer"] = OfferSpec{
        .offerID = "course_offer",
        .surface = "next_step_course",
        .title = "A course for you",
        .body = "Learn Python step by step.",
        .actionLabel = "See the course",
        .price = "$20",
        .destination = "https://example.org/course",
        .eligibilityReason = "chose_course",
    };
    config.offerCatalog["ai_coding_setup"] = OfferSpec{
        .offerID = "ai_coding_setup",
        .surface = "next_step_build",
        .actionLabel = "Show me",
        .destination = "https://example.org/ai",
        .eligibilityReason = "chose_build",
    };
  }

  // Whether exactly one event of that name was sent (waiting for a screen's
  // appearance to report it).
  bool sentOnce(const char* name) {
    return QTest::qWaitFor([&] { return !tracker->recorded.named(name).empty(); }, 3000) &&
           tracker->recorded.named(name).size() == 1;
  }
  JSONObject only(const char* name) { return tracker->recorded.named(name).at(0).data; }
};

// The goal opens the product's flow: the diagnosis of the products that ask
// one, the workflow of a product that runs it.
TEST_F(Offers, TheGoalChosenIsReportedWithItsDetailCutAndOpensTheFlow) {
  for (const auto& [flow, opened] : std::vector<std::pair<SetupFlow, std::string>>{
           {SetupFlow::diagnose, "diagnose"}, {SetupFlow::setupWorkflow, "setup_workflow"}}) {
    SCOPED_TRACE(opened);
    config.flow = flow;
    tracker = std::make_shared<OrderCheckingTracker>();
    launchConsented();
    click("welcome-diagnose-button");
    ASSERT_TRUE(waitShown("goal-prompt"));
    EXPECT_EQ(text("goal-question"), "What brings you here?");
    EXPECT_EQ(text("goal-note"), "Nothing changes on your Mac until you review and approve it.");
    EXPECT_EQ(root->navigation()->depth(), 0) << "the question is asked before anything is pushed";
    EXPECT_FALSE(shown("goal-continue")->isEnabled()) << "Continue waits for an option";

    click("goal-option-fix");
    EXPECT_EQ(shown("goal-detail-field")->property("placeholderText").toString(), "What's broken?");
    shown("goal-detail-field")->setProperty("text", QString(100, 'd'));
    click("goal-continue");

    ASSERT_TRUE(QTest::qWaitFor([&] { return root->navigation()->depth() == 1; }, 3000));
    EXPECT_EQ(root->navigation()->currentScreenName(), opened);
    EXPECT_EQ(root->navigation()->selectedGoal(), "fix");
    ASSERT_TRUE(sentOnce("goal_selected"));
    const JSONObject goal = only("goal_selected");
    EXPECT_EQ(goal.at("goal"), JSONValue("fix"));
    EXPECT_EQ(goal.at("detail"), JSONValue(std::string(kDetailMaxChars, 'd')));
    EXPECT_EQ(goal.at("surface"), JSONValue("welcome_goal"));

    // Home again, the welcome comes first.
    root->navigation()->clear();
    EXPECT_TRUE(waitShown("welcome-screen"));
    TearDown();
  }
}

// Each next step opens its offer, which is reported shown once; the first
// answer is reported once; the destination opens each time it is asked for.
TEST_F(Offers, EachNextStepOpensItsOfferReportedOnceAndAnsweredOnce) {
  struct Case {
    const char* option;
    const char* outcome;
    const char* screen;
    const char* offerID;
    const char* surface;
    const char* eligibility;
    JSONValue result;
    const char* opened;  // the destination, or nothing (guided help opens none)
    bool browserWorks;
  };
  for (const Case& c : std::vector<Case>{
           {"course", "ready", "content-offer-screen", "course_offer", "next_step_course", "chose_course",
            JSONValue(nullptr), "https://example.org/course", true},
           {"stuck", "still_blocked", "guided-help-offer-screen", "guided_help_plan", "guided_help_offer", "",
            JSONValue("interest_no_fulfillment"), nullptr, true},
           {"build", "unsure", "ai-coding-offer-screen", "ai_coding_setup", "next_step_build", "chose_build",
            JSONValue("interest"), "https://example.org/ai", false},
       }) {
    SCOPED_TRACE(c.option);
    tracker = std::make_shared<OrderCheckingTracker>();
    platform = ScriptedPlatform{};
    platform.browserWorks = c.browserWorks;
    launchConsented();
    root->navigation()->push(Screen{Screen::Kind::nextStep});
    ASSERT_TRUE(waitShown("next-step-screen"));
    EXPECT_EQ(text("next-step-question"), "What next?");
    EXPECT_FALSE(shown("next-step-continue")->isEnabled());
    click((std::string("next-step-option-") + c.option).c_str());
    click("next-step-continue");

    ASSERT_TRUE(waitShown(c.screen));
    ASSERT_TRUE(sentOnce("next_step_selected"));
    const JSONObject chosen = only("next_step_selected");
    EXPECT_EQ(chosen.at("next_step"), JSONValue(c.option));
    EXPECT_EQ(chosen.at("outcome"), JSONValue(c.outcome));
    EXPECT_EQ(chosen.at("goal"), JSONValue(nullptr)) << "no goal was chosen";
    EXPECT_EQ(chosen.at("surface"), JSONValue("post_setup"));
    ASSERT_TRUE(sentOnce("offer_shown"));
    const JSONObject shownEvent = only("offer_shown");
    EXPECT_EQ(shownEvent.at("offer_id"), JSONValue(c.offerID));
    EXPECT_EQ(shownEvent.at("offer_surface"), JSONValue(c.surface));
    EXPECT_EQ(shownEvent.at("eligibility_reason"), JSONValue(c.eligibility));
    EXPECT_EQ(shownEvent.at("next_step"), JSONValue(c.option));

    const std::string id = c.offerID;
    // Asked twice where the button stays (the guided-help plan answers once and hides it).
    for (int press = 0; press < (c.opened ? 2 : 1); ++press) click(("offer-" + id + "-primary").c_str());
    ASSERT_TRUE(sentOnce("offer_action"));
    const JSONObject action = only("offer_action");
    EXPECT_EQ(action.at("action"), JSONValue("selected"));
    EXPECT_EQ(action.at("result"), c.result);
    EXPECT_EQ(action.at("next_step"), JSONValue(c.option));
    if (c.opened) {
      EXPECT_THAT(platform.openedURLs, ElementsAre(c.opened, c.opened));
      EXPECT_EQ(platform.alerts.size(), c.browserWorks ? 0u : 2u) << "a browser that fails is explained";
      click(("offer-" + id + "-dismiss").c_str());
    } else {
      EXPECT_TRUE(platform.openedURLs.empty()) << "the guided-help plan charges and opens nothing";
      EXPECT_EQ(text("offer-guided_help_plan-unavailable"),
                "Thanks — this isn't available yet. We're seeing how many people want it. You haven't been "
                "charged, and we didn't collect any personal details.");
      EXPECT_EQ(text("offer-guided_help_plan-done"), "Done — back to home");
      click("offer-guided_help_plan-done");
    }
    ASSERT_TRUE(waitShown("welcome-screen"));
    EXPECT_EQ(tracker->recorded.named("offer_action").size(), 1u) << "the first answer is the only one";
    EXPECT_EQ(tracker->recorded.named("offer_shown").size(), 1u);
    TearDown();
  }
}

TEST_F(Offers, DeclinedOffersAreReportedDismissedAndAnOfferNotInTheCatalogueReportsNothing) {
  launchConsented();
  root->navigation()->setSelectedGoal("learn");
  root->navigation()->push(Screen{Screen::Kind::contentOffer, "course_offer"});
  ASSERT_TRUE(waitShown("content-offer-screen"));
  EXPECT_EQ(text("offer-course_offer-title"), "A course for you");
  EXPECT_EQ(text("offer-course_offer-price"), "$20");
  EXPECT_EQ(text("offer-course_offer-primary"), "See the course");
  click("offer-course_offer-dismiss");
  ASSERT_TRUE(waitShown("welcome-screen"));

  root->navigation()->push(Screen{Screen::Kind::guidedHelpOffer});
  ASSERT_TRUE(waitShown("guided-help-offer-screen"));
  EXPECT_EQ(text("offer-guided_help_plan-title"), "Still stuck?");
  EXPECT_EQ(text("offer-guided_help_plan-primary"), "Get my setup plan ($2)");
  click("offer-guided_help_plan-dismiss");
  ASSERT_TRUE(waitShown("welcome-screen"));

  root->navigation()->push(Screen{Screen::Kind::contentOffer, "gone"});
  ASSERT_TRUE(waitShown("content-offer-screen"));
  EXPECT_EQ(shown("offer-gone-primary"), nullptr);
  click("offer-gone-dismiss");
  ASSERT_TRUE(waitShown("welcome-screen"));

  const auto actions = tracker->recorded.named("offer_action");
  ASSERT_EQ(actions.size(), 2u);
  for (const auto& action : actions) {
    EXPECT_EQ(action.data.at("action"), JSONValue("dismissed"));
    EXPECT_EQ(action.data.at("result"), JSONValue(nullptr));
    EXPECT_EQ(action.data.at("next_step"), JSONValue(nullptr));
  }
  EXPECT_EQ(tracker->recorded.named("offer_shown").size(), 2u);
  EXPECT_EQ(tracker->recorded.named("offer_shown")[0].data.at("goal"), JSONValue("learn"));
}

TEST_F(Offers, TheNPSCardSendsAZeroWithABlankReasonAsNullThenThanksAndRemembersIt) {
  launchConsented();
  QQmlComponent host(engine.get());
  host.setData("import QtQuick\nimport Benchkit\nFeedbackCard { width: 560 }", QUrl("qrc:/Benchkit/NPSCardHost.qml"));
  ASSERT_TRUE(host.isReady()) << host.errorString().toStdString();
  FeedbackCardModel* card = root->makeNPSCard(nullptr);
  std::unique_ptr<QObject> object(host.createWithInitialProperties({{"card", QVariant::fromValue(card)}}));
  ASSERT_NE(object, nullptr) << host.errorString().toStdString();
  auto* item = qobject_cast<QQuickItem*>(object.get());
  item->setParentItem(window->contentItem());
  item->setZ(10);

  EXPECT_EQ(text("nps-question"), "How likely are you to recommend Benchkit for Python to a friend or colleague?");
  EXPECT_EQ(shown("nps-submit"), nullptr) << "the reason and submit come after a score";
  click("nps-score-0");
  ASSERT_TRUE(waitShown("nps-reason"));
  shown("nps-reason")->setProperty("text", "   \n  ");
  click("nps-submit");

  EXPECT_EQ(text("nps-thanks"), "Thanks for the feedback.");
  EXPECT_EQ(shown("nps-dismiss"), nullptr);
  ASSERT_TRUE(sentOnce("nps_submitted"));
  const JSONObject submitted = only("nps_submitted");
  EXPECT_EQ(submitted.at("score"), JSONValue(std::int64_t{0}));
  EXPECT_EQ(submitted.at("reason"), JSONValue(nullptr));
  EXPECT_TRUE(store->boolean(pythonProduct().defaultsKey(".nps_submitted")));
  card->dismiss();
  EXPECT_TRUE(tracker->recorded.named("nps_dismissed").empty()) << "an answered card is not dismissed";
}

}  // namespace
}  // namespace bnch::ui
