#include "ui/prompt_view_model.h"

#include <QVariantMap>
#include <algorithm>

#include "engine/telemetry/usage_events.h"
#include "ui/qt_text.h"

namespace bnch::ui {

namespace {
template <typename Option>
const Option* optionOf(const std::vector<Option>& options, const std::string& key) {
  const auto found = std::find_if(options.begin(), options.end(), [&](const Option& o) { return o.key == key; });
  return found == options.end() ? nullptr : &*found;
}
}  // namespace

PromptViewModel::PromptViewModel(GoalPrompt prompt, Screen flow, QPointer<NavigationModel> navigation,
                                 std::shared_ptr<UsageEventTracking> tracker, QObject* parent)
    : QObject(parent),
      goal_(std::move(prompt)),
      flow_(std::move(flow)),
      navigation_(std::move(navigation)),
      tracker_(std::move(tracker)) {}

PromptViewModel::PromptViewModel(NextStepPrompt prompt, QPointer<NavigationModel> navigation,
                                 std::shared_ptr<UsageEventTracking> tracker, QObject* parent)
    : QObject(parent), nextStep_(std::move(prompt)), navigation_(std::move(navigation)), tracker_(std::move(tracker)) {}

QString PromptViewModel::question() const { return toQt(goal_ ? goal_->question : nextStep_->question); }
QString PromptViewModel::subcopy() const { return toQt(goal_ ? goal_->subcopy : nextStep_->leadIn); }
int PromptViewModel::detailMaxChars() const { return goal_ ? std::max(0, goal_->detailMaxChars) : 0; }

QVariantList PromptViewModel::options() const {
  QVariantList list;
  auto add = [&](const std::string& key, const std::string& label, const std::string& detailPrompt) {
    list.append(QVariantMap{{"key", toQt(key)}, {"label", toQt(label)}, {"detailPrompt", toQt(detailPrompt)}});
  };
  if (goal_) {
    for (const GoalOption& option : goal_->options) add(option.key, option.label, option.detailPrompt.value_or(""));
  } else {
    for (const NextStepOption& option : nextStep_->options) add(option.key, option.label, "");
  }
  return list;
}

bool PromptViewModel::choose(const QString& key, const QString& detail) {
  if (!navigation_) return false;
  return goal_ ? chooseGoal(toStd(key), detail) : chooseNextStep(toStd(key));
}

bool PromptViewModel::chooseGoal(const std::string& key, const QString& detail) {
  if (!optionOf(goal_->options, key)) return false;
  // The field holds at most this many characters; text set another way is cut the same.
  QString kept = detail.left(detailMaxChars());
  if (!kept.isEmpty() && kept.back().isHighSurrogate()) kept.chop(1);  // never half a character
  if (tracker_) track(*tracker_, usage_events::goalSelected(key, toStd(kept), goal_->surface));
  navigation_->setSelectedGoal(key);
  navigation_->push(flow_);
  return true;
}

bool PromptViewModel::chooseNextStep(const std::string& key) {
  const NextStepOption* option = optionOf(nextStep_->options, key);
  if (!option) return false;
  if (tracker_) {
    track(*tracker_, usage_events::nextStepSelected(key, std::string(toString(option->outcome)),
                                                    navigation_->selectedGoal(), nextStep_->surface));
  }
  navigation_->setSelectedNextStep(key);
  navigation_->push(screenFor(option->offer));
  return true;
}

}  // namespace bnch::ui
