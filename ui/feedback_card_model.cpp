#include "ui/feedback_card_model.h"

#include "engine/workflow/nps_feedback.h"
#include "ui/qt_text.h"

namespace bnch::ui {

FeedbackCardModel::FeedbackCardModel(Wording wording, const QString& displayName, Answers answers, QObject* parent)
    : QObject(parent), wording_(wording), displayName_(displayName), answers_(std::move(answers)) {}

QString FeedbackCardModel::phase() const {
  switch (phase_) {
    case Phase::notYet:
      return QStringLiteral("notYet");
    case Phase::scored:
      return QStringLiteral("scored");
    case Phase::submitting:
      return QStringLiteral("submitting");
    case Phase::thanks:
      return QStringLiteral("thanks");
  }
  return QStringLiteral("notYet");
}

QString FeedbackCardModel::idPrefix() const {
  return wording_ == Wording::nps ? QStringLiteral("nps") : QStringLiteral("satisfaction");
}

QString FeedbackCardModel::question() const {
  return wording_ == Wording::nps
             ? QStringLiteral("How likely are you to recommend %1 to a friend or colleague?").arg(displayName_)
             : QStringLiteral("Are you happy with this app?");
}

QString FeedbackCardModel::lowLabel() const {
  return wording_ == Wording::nps ? QStringLiteral("Not at all likely") : QStringLiteral("Not at all");
}

QString FeedbackCardModel::highLabel() const {
  return wording_ == Wording::nps ? QStringLiteral("Extremely likely") : QStringLiteral("Extremely happy");
}

QString FeedbackCardModel::reasonPrompt() const {
  return wording_ == Wording::nps ? QStringLiteral("What's the main reason for your score? (optional)")
                                  : QStringLiteral("What's the main reason for your rating? (optional)");
}

void FeedbackCardModel::choose(int score) {
  if (score < 0 || score > NPSFeedback::highestScore || dismissed_) return;
  if (phase_ != Phase::notYet && phase_ != Phase::scored) return;
  score_ = score;
  phase_ = Phase::scored;
  emit changed();
}

bool FeedbackCardModel::submit(const QString& reason) {
  if (phase_ != Phase::scored || dismissed_) return false;
  phase_ = Phase::submitting;
  emit changed();
  if (!answers_.submit || !answers_.submit(score_, toStd(reason))) {
    phase_ = Phase::scored;
    emit changed();
    return false;
  }
  phase_ = Phase::thanks;
  emit changed();
  return true;
}

void FeedbackCardModel::dismiss() {
  if (dismissed_) return;
  dismissed_ = true;
  // Feedback already sent is the card's answer; closing it afterwards is not a dismissal.
  if (phase_ != Phase::thanks && answers_.dismiss) answers_.dismiss();
  emit changed();
}

}  // namespace bnch::ui
