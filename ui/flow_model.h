#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <memory>

#include "engine/workflow/setup_flow_model.h"
#include "ui/action_progress_model.h"
#include "ui/experience_bucket_model.h"

namespace bnch::ui {

// The setup flow model as QML sees it: one invokable per operation of the
// engine model, its step and the experience question's texts as properties.
// Every change of the engine model emits `changed`. Owns the engine model; GUI
// thread only.
class FlowModel : public QObject {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("Made by the root model for the workflow screen")
  // The step's case ("experienceQuestion", "stage", ...) and its name (the
  // stage's domain, the declined owner, the readiness warning's kind).
  Q_PROPERTY(QString stepKind READ stepKind NOTIFY changed)
  Q_PROPERTY(QString stepName READ stepName NOTIFY changed)
  Q_PROPERTY(bool runEnded READ runEnded NOTIFY changed)
  Q_PROPERTY(bool hasExperienceQuestion READ hasExperienceQuestion CONSTANT)
  Q_PROPERTY(QString experienceWindowTitle READ experienceWindowTitle CONSTANT)
  Q_PROPERTY(QString experienceHeadline READ experienceHeadline CONSTANT)
  Q_PROPERTY(QString experienceBody READ experienceBody CONSTANT)
  Q_PROPERTY(QString experienceSkipLabel READ experienceSkipLabel CONSTANT)
  Q_PROPERTY(bnch::ui::ExperienceBucketModel* experienceBuckets READ experienceBuckets CONSTANT)
  // The progress screen of the approved install; null when none is pending.
  Q_PROPERTY(bnch::ui::ActionProgressModel* actionProgress READ actionProgress NOTIFY actionProgressChanged)

 public:
  FlowModel(std::unique_ptr<SetupFlowModel> model, std::optional<SystemProfile> fallbackProfile,
            QObject* parent = nullptr);
  ~FlowModel() override;

  SetupFlowModel& engineModel() { return *model_; }
  const SetupFlowModel& engineModel() const { return *model_; }
  const AppServices& services() const { return model_->services(); }

  QString stepKind() const;
  QString stepName() const;
  bool runEnded() const { return model_->runEnded(); }
  bool hasExperienceQuestion() const { return model_->config().experienceQuestion.has_value(); }
  QString experienceWindowTitle() const;
  QString experienceHeadline() const;
  QString experienceBody() const;
  QString experienceSkipLabel() const;
  ExperienceBucketModel* experienceBuckets() const { return buckets_; }
  ActionProgressModel* actionProgress() const { return actionProgress_; }

  // Lets approved installs run: from then on every pending install of the
  // engine model gets a progress model, which reports its outcome back here.
  void enableActionProgress(ActionProgressDependencies dependencies);

  // ---- The engine model's operations ----
  // Starts the run with the profile the root view holds as fallback.
  Q_INVOKABLE void start();
  Q_INVOKABLE void answerExperience(const QString& bucket);
  // The skip button: hands over the question's skip value.
  Q_INVOKABLE void skipExperience();
  Q_INVOKABLE void continueFromDiagnosis();
  Q_INVOKABLE void continueAfterDecline();
  // `keepGoing` true continues past the readiness warning, false stops the run.
  Q_INVOKABLE void resolveReadinessWarning(bool keepGoing);
  Q_INVOKABLE void stageShown(const QString& domain);
  Q_INVOKABLE void advance(const QString& afterDomain);
  // `selected` true for the offer's action, false when dismissed.
  Q_INVOKABLE void offerAction(const QString& domain, bool selected);
  // Approves one action of a stage; false when the stage has no such action.
  Q_INVOKABLE bool approveInstall(const QString& domain, const QString& actionID);
  Q_INVOKABLE void clearPendingInstall();
  // `outcome`: "success", "failure" or "canceled".
  Q_INVOKABLE void installFinished(const QString& domain, const QString& outcome, const QString& errorText);
  Q_INVOKABLE void showStage(const QString& domain);
  Q_INVOKABLE void continueFromInterstitial();
  Q_INVOKABLE void verify();
  Q_INVOKABLE void keepGoing();
  Q_INVOKABLE void finishRun();
  Q_INVOKABLE void buildOutcomeAudit();
  // True when the run is over (the screen then returns to the welcome screen).
  Q_INVOKABLE bool reportOutcome(const QString& selfReport);
  Q_INVOKABLE void markSatisfactionResolved();
  Q_INVOKABLE void satisfactionDismissed();

 signals:
  void changed();
  void actionProgressChanged();
  // An install's outcome as the progress screen reported it ("success",
  // "failure" or "canceled").
  void installReported(const QString& domain, const QString& outcome, const QString& errorText);

 private:
  std::unique_ptr<SetupFlowModel> model_;
  std::optional<SystemProfile> fallbackProfile_;
  SetupFlowModel::ListenerID listener_ = 0;
  ExperienceBucketModel* buckets_;
  std::optional<ActionProgressDependencies> progressDependencies_;
  ActionProgressModel* actionProgress_ = nullptr;

  // Makes or drops the progress model to match the engine model's pending install.
  void followPendingInstall();
};

}  // namespace bnch::ui
