#include "ui/offer_view_model.h"

#include "engine/telemetry/usage_events.h"
#include "ui/qt_text.h"

namespace bnch::ui {

OfferViewModel::OfferViewModel(Kind kind, std::string offerID, Context context, QObject* parent)
    : QObject(parent), kind_(kind), offerID_(std::move(offerID)), context_(std::move(context)) {}

QString OfferViewModel::offerID() const { return toQt(offerID_); }

std::string OfferViewModel::field(std::string OfferSpec::*member) const {
  return context_.spec ? (*context_.spec).*member : std::string();
}

QString OfferViewModel::title() const { return toQt(field(&OfferSpec::title)); }
QString OfferViewModel::body() const { return toQt(field(&OfferSpec::body)); }
QString OfferViewModel::actionLabel() const { return toQt(field(&OfferSpec::actionLabel)); }
QString OfferViewModel::price() const { return context_.spec ? toQt(context_.spec->price.value_or("")) : QString(); }
QString OfferViewModel::disclosure() const {
  return context_.spec ? toQt(context_.spec->disclosure.value_or("")) : QString();
}

// The catalogue names the surface an offer is shown on; an offer it does not
// list is reported on the surface of its screen.
std::string OfferViewModel::surface() const {
  if (context_.spec) return context_.spec->surface;
  return std::string(
      screenName(kind_ == Kind::guidedHelp ? Screen::Kind::guidedHelpOffer : Screen::Kind::aiCodingOffer));
}

void OfferViewModel::shown() {
  if (didEmitShown_ || !available()) return;
  didEmitShown_ = true;
  if (!context_.tracker) return;
  const NavigationModel* navigation = context_.navigation.data();
  track(*context_.tracker, usage_events::offerShown(offerID_, surface(), field(&OfferSpec::eligibilityReason),
                                                    navigation ? navigation->selectedNextStep() : std::nullopt,
                                                    navigation ? navigation->selectedGoal() : std::nullopt));
}

void OfferViewModel::reportAction(bool selected) {
  if (didAct_) return;
  didAct_ = true;
  if (!context_.tracker) return;
  std::optional<std::string> result;
  if (selected && kind_ == Kind::guidedHelp) result = "interest_no_fulfillment";
  if (selected && kind_ == Kind::aiCoding) result = "interest";
  const NavigationModel* navigation = context_.navigation.data();
  track(*context_.tracker,
        usage_events::offerAction(
            offerID_, surface(),
            selected ? usage_events::OfferActionKind::selected : usage_events::OfferActionKind::dismissed, result,
            navigation ? navigation->selectedNextStep() : std::nullopt));
}

void OfferViewModel::select() {
  if (!available()) return;
  reportAction(true);
  if (kind_ == Kind::guidedHelp) {
    if (!unavailableShown_) {
      unavailableShown_ = true;
      emit changed();
    }
    return;
  }
  const std::optional<std::string> destination = context_.spec ? context_.spec->destination : std::nullopt;
  if (destination && !destination->empty() && context_.openURL) context_.openURL(toQt(*destination));
}

void OfferViewModel::dismiss() {
  if (available()) reportAction(false);
  goHome();
}

void OfferViewModel::goHome() {
  if (context_.navigation) context_.navigation->clear();
}

}  // namespace bnch::ui
