#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <memory>
#include <optional>

#include "engine/telemetry/usage_event_tracking.h"
#include "engine/workflow/product_config.h"
#include "ui/navigation_model.h"

namespace bnch::ui {

// A question of the product's configuration with one answer chosen from a
// list: the goal prompt or the next-step prompt. Choosing reports the answer,
// records it in the navigation and opens what follows it (the product's flow
// after a goal, the option's offer after a next step). GUI thread only.
class PromptViewModel : public QObject {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("Made by the root model for a prompt screen")
  Q_PROPERTY(QString question READ question CONSTANT)
  // The goal prompt's subcopy, or the next-step prompt's lead-in.
  Q_PROPERTY(QString subcopy READ subcopy CONSTANT)
  // {key, label, detailPrompt} per option ("" when an option has no detail prompt).
  Q_PROPERTY(QVariantList options READ options CONSTANT)
  // The longest detail the goal prompt takes; 0 for the next-step prompt (no detail field).
  Q_PROPERTY(int detailMaxChars READ detailMaxChars CONSTANT)

 public:
  // `flow` is the screen of the product's flow, which the goal opens.
  PromptViewModel(GoalPrompt prompt, Screen flow, QPointer<NavigationModel> navigation,
                  std::shared_ptr<UsageEventTracking> tracker, QObject* parent = nullptr);
  PromptViewModel(NextStepPrompt prompt, QPointer<NavigationModel> navigation,
                  std::shared_ptr<UsageEventTracking> tracker, QObject* parent = nullptr);

  QString question() const;
  QString subcopy() const;
  QVariantList options() const;
  int detailMaxChars() const;

  // Continue with the option of that key; false (nothing happens) for an
  // unknown key. `detail` (the goal prompt's free text) is cut to
  // `detailMaxChars`.
  Q_INVOKABLE bool choose(const QString& key, const QString& detail = {});

 private:
  bool chooseGoal(const std::string& key, const QString& detail);
  bool chooseNextStep(const std::string& key);

  std::optional<GoalPrompt> goal_;
  std::optional<NextStepPrompt> nextStep_;
  Screen flow_;
  QPointer<NavigationModel> navigation_;
  std::shared_ptr<UsageEventTracking> tracker_;
};

}  // namespace bnch::ui
