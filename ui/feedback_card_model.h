#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <functional>
#include <string>

namespace bnch::ui {

// One feedback card: the workflow's satisfaction card or the NPS card. The
// card's wording and identifiers differ; its phases and its two answers do not.
// The answers go to the owner's functions, which send them through the
// engine's NPSFeedback. GUI thread only.
class FeedbackCardModel : public QObject {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("Made by the screen that shows the card")
  // "notYet", "scored", "submitting" or "thanks".
  Q_PROPERTY(QString phase READ phase NOTIFY changed)
  // The chosen score, -1 before one is chosen.
  Q_PROPERTY(int score READ score NOTIFY changed)
  Q_PROPERTY(bool dismissed READ dismissed NOTIFY changed)
  // The head of every control's identifier ("satisfaction", "nps").
  Q_PROPERTY(QString idPrefix READ idPrefix CONSTANT)
  Q_PROPERTY(QString question READ question CONSTANT)
  Q_PROPERTY(QString lowLabel READ lowLabel CONSTANT)
  Q_PROPERTY(QString highLabel READ highLabel CONSTANT)
  Q_PROPERTY(QString reasonPrompt READ reasonPrompt CONSTANT)

 public:
  enum class Wording { satisfaction, nps };
  enum class Phase { notYet, scored, submitting, thanks };
  struct Answers {
    // Sends the score and reason; false when it was refused.
    std::function<bool(int score, const std::string& reason)> submit;
    std::function<void()> dismiss;
  };

  // `displayName` is the product's name, which the NPS question names.
  FeedbackCardModel(Wording wording, const QString& displayName, Answers answers, QObject* parent = nullptr);

  QString phase() const;
  int score() const { return score_; }
  bool dismissed() const { return dismissed_; }
  QString idPrefix() const;
  QString question() const;
  QString lowLabel() const;
  QString highLabel() const;
  QString reasonPrompt() const;

  // A score button, 0 to 10; ignored once the feedback was sent.
  Q_INVOKABLE void choose(int score);
  // Sends the chosen score with the reason; does nothing before a score or
  // after sending. True when sent.
  Q_INVOKABLE bool submit(const QString& reason);
  // Closes the card; its answer is "dismissed" unless feedback was sent.
  Q_INVOKABLE void dismiss();

 signals:
  void changed();

 private:
  Wording wording_;
  QString displayName_;
  Answers answers_;
  Phase phase_ = Phase::notYet;
  int score_ = -1;
  bool dismissed_ = false;
};

}  // namespace bnch::ui
