#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/telemetry/usage_event_tracking.h"
#include "engine/workflow/product_config.h"
#include "ui/navigation_model.h"

namespace bnch::ui {

// One offer screen: a content offer from the product's catalogue, the
// guided-help offer or the AI-coding interest. It reports the offer shown once
// and the person's first answer once, with the goal and next step the
// navigation holds, and opens the offer's destination. GUI thread only.
class OfferViewModel : public QObject {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("Made by the root model for an offer screen")
  Q_PROPERTY(QString offerID READ offerID CONSTANT)
  // False for a content offer the catalogue does not hold: nothing to show or report.
  Q_PROPERTY(bool available READ available CONSTANT)
  // The catalogue's texts ("" when absent).
  Q_PROPERTY(QString title READ title CONSTANT)
  Q_PROPERTY(QString body READ body CONSTANT)
  Q_PROPERTY(QString price READ price CONSTANT)
  Q_PROPERTY(QString disclosure READ disclosure CONSTANT)
  Q_PROPERTY(QString actionLabel READ actionLabel CONSTANT)
  // The guided-help offer's "not available yet" line is showing.
  Q_PROPERTY(bool unavailableShown READ unavailableShown NOTIFY changed)

 public:
  enum class Kind { content, guidedHelp, aiCoding };
  struct Context {
    // The catalogue's entry for the offer, when it has one.
    std::optional<OfferSpec> spec;
    QPointer<NavigationModel> navigation;
    std::shared_ptr<UsageEventTracking> tracker;
    // Opens an address in the browser, explaining a failure to the person.
    std::function<bool(const QString&)> openURL;
  };

  OfferViewModel(Kind kind, std::string offerID, Context context, QObject* parent = nullptr);

  QString offerID() const;
  bool available() const { return kind_ != Kind::content || context_.spec.has_value(); }
  QString title() const;
  QString body() const;
  QString price() const;
  QString disclosure() const;
  QString actionLabel() const;
  bool unavailableShown() const { return unavailableShown_; }

  // The screen appeared: "offer_shown", once per screen.
  Q_INVOKABLE void shown();
  // The primary button: "offer_action" "selected" (with the guided-help or
  // AI-coding result), then the destination opens; the guided-help offer shows
  // its "not available yet" line instead, and charges nothing.
  Q_INVOKABLE void select();
  // The dismiss button: "offer_action" "dismissed" unless already answered,
  // then back to the welcome screen.
  Q_INVOKABLE void dismiss();
  // Back to the welcome screen.
  Q_INVOKABLE void goHome();

 signals:
  void changed();

 private:
  void reportAction(bool selected);
  std::string surface() const;
  std::string field(std::string OfferSpec::*member) const;

  Kind kind_;
  std::string offerID_;
  Context context_;
  bool didEmitShown_ = false;
  bool didAct_ = false;
  bool unavailableShown_ = false;
};

}  // namespace bnch::ui
