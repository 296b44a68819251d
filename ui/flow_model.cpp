#include "ui/flow_model.h"

#include <QQmlEngine>

#include "ui/qt_text.h"

namespace bnch::ui {

namespace {

const ExperienceQuestionCopy& questionOf(const SetupFlowModel& model) {
  static const ExperienceQuestionCopy none;
  return model.config().experienceQuestion ? *model.config().experienceQuestion : none;
}

// describe() gives "kind" or "kind:name".
std::pair<std::string, std::string> splitStep(const Step& step) {
  const std::string text = describe(step);
  const auto colon = text.find(':');
  if (colon == std::string::npos) return {text, {}};
  return {text.substr(0, colon), text.substr(colon + 1)};
}

}  // namespace

FlowModel::FlowModel(std::unique_ptr<SetupFlowModel> model, std::optional<SystemProfile> fallbackProfile,
                     QObject* parent)
    : QObject(parent),
      model_(std::move(model)),
      fallbackProfile_(std::move(fallbackProfile)),
      buckets_(new ExperienceBucketModel(questionOf(*model_).buckets, this)) {
  listener_ = model_->addListener([this] {
    emit changed();
    followPendingInstall();
  });
}

FlowModel::~FlowModel() { model_->removeListener(listener_); }

void FlowModel::enableActionProgress(ActionProgressDependencies dependencies) {
  progressDependencies_ = std::move(dependencies);
  followPendingInstall();
}

void FlowModel::followPendingInstall() {
  const std::optional<PendingInstall>& pending = model_->pendingInstall();
  if (!pending && actionProgress_) {
    std::exchange(actionProgress_, nullptr)->deleteLater();  // stops its run if still going
    emit actionProgressChanged();
    return;
  }
  if (!pending || actionProgress_ || !progressDependencies_) return;
  const std::string domain = pending->id;
  auto runner = progressDependencies_->makeRunner(model_->profile().value_or(SystemProfile{}));
  actionProgress_ = new ActionProgressModel(
      toQt(pending->title), ActionProgressPlan::of(*pending, model_->config()), std::move(runner),
      *progressDependencies_,
      [this, domain](ActionProgressModel::Outcome outcome, const QString& errorText) {
        using Outcome = SetupFlowModel::InstallOutcome;
        model_->clearPendingInstall();
        model_->installFinished(domain,
                                outcome == ActionProgressModel::Outcome::success   ? Outcome::success
                                : outcome == ActionProgressModel::Outcome::failure ? Outcome::failure
                                                                                   : Outcome::canceled,
                                toStd(errorText));
      },
      this);
  QQmlEngine::setObjectOwnership(actionProgress_, QQmlEngine::CppOwnership);
  actionProgress_->start();
  emit actionProgressChanged();
}

QString FlowModel::stepKind() const { return toQt(splitStep(model_->step()).first); }
QString FlowModel::stepName() const { return toQt(splitStep(model_->step()).second); }
QString FlowModel::experienceWindowTitle() const { return toQt(questionOf(*model_).windowTitle); }
QString FlowModel::experienceHeadline() const { return toQt(questionOf(*model_).headline); }
QString FlowModel::experienceBody() const { return toQt(questionOf(*model_).body); }
QString FlowModel::experienceSkipLabel() const { return toQt(questionOf(*model_).skipLabel); }

void FlowModel::start() { model_->start(fallbackProfile_); }
void FlowModel::answerExperience(const QString& bucket) { model_->answerExperience(toStd(bucket), false); }
void FlowModel::skipExperience() { model_->answerExperience(questionOf(*model_).skipValue, true); }
void FlowModel::continueFromDiagnosis() { model_->continueFromDiagnosis(); }
void FlowModel::continueAfterDecline() { model_->continueAfterDecline(); }
void FlowModel::resolveReadinessWarning(bool keepGoing) {
  model_->resolveReadinessWarning(keepGoing ? SetupFlowModel::ReadinessAction::continueRun
                                            : SetupFlowModel::ReadinessAction::stop);
}
void FlowModel::stageShown(const QString& domain) { model_->stageShown(toStd(domain)); }
void FlowModel::advance(const QString& afterDomain) { model_->advance(toStd(afterDomain)); }
void FlowModel::offerAction(const QString& domain, bool selected) {
  model_->offerAction(toStd(domain),
                      selected ? usage_events::OfferActionKind::selected : usage_events::OfferActionKind::dismissed);
}
bool FlowModel::approveInstall(const QString& domain, const QString& actionID) {
  auto install = model_->pendingInstallFor(toStd(domain), toStd(actionID));
  if (!install) return false;
  model_->approveInstall(std::move(*install));
  return true;
}
void FlowModel::clearPendingInstall() { model_->clearPendingInstall(); }
void FlowModel::installFinished(const QString& domain, const QString& outcome, const QString& errorText) {
  const auto kind = outcome == QLatin1String("success")    ? SetupFlowModel::InstallOutcome::success
                    : outcome == QLatin1String("canceled") ? SetupFlowModel::InstallOutcome::canceled
                                                           : SetupFlowModel::InstallOutcome::failure;
  model_->installFinished(toStd(domain), kind, toStd(errorText));
  emit installReported(domain, outcome, errorText);
}
void FlowModel::showStage(const QString& domain) { model_->showStage(toStd(domain)); }
void FlowModel::continueFromInterstitial() { model_->continueFromInterstitial(); }
void FlowModel::verify() { model_->verify(); }
void FlowModel::keepGoing() { model_->keepGoing(); }
void FlowModel::finishRun() { model_->finishRun(); }
void FlowModel::buildOutcomeAudit() { model_->buildOutcomeAudit(); }
bool FlowModel::reportOutcome(const QString& selfReport) { return model_->reportOutcome(toStd(selfReport)); }
void FlowModel::markSatisfactionResolved() { model_->markSatisfactionResolved(); }
void FlowModel::satisfactionDismissed() { model_->satisfactionDismissed(); }

}  // namespace bnch::ui
