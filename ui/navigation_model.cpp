#include "ui/navigation_model.h"

#include "ui/qt_text.h"

namespace bnch::ui {

std::string_view screenName(Screen::Kind kind) {
  switch (kind) {
    case Screen::Kind::audit:
      return "audit";
    case Screen::Kind::contentOffer:
      return "content_offer";
    case Screen::Kind::diagnose:
      return "diagnose";
    case Screen::Kind::setupWorkflow:
      return "setup_workflow";
    case Screen::Kind::nextStep:
      return "next_step";
    case Screen::Kind::guidedHelpOffer:
      return "guided_help_offer";
    case Screen::Kind::aiCodingOffer:
      return "ai_coding_offer";
  }
  return "welcome";
}

Screen screenFor(const OfferRoute& route) {
  switch (route.kind) {
    case OfferRoute::Kind::content:
      return Screen{Screen::Kind::contentOffer, route.offerID};
    case OfferRoute::Kind::audit:
      return Screen{Screen::Kind::audit};
    case OfferRoute::Kind::guidedHelpWTP:
      return Screen{Screen::Kind::guidedHelpOffer};
    case OfferRoute::Kind::aiCodingInterest:
      return Screen{Screen::Kind::aiCodingOffer};
  }
  return Screen{Screen::Kind::audit};
}

int NavigationModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(path_.size());
}

QVariant NavigationModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const Screen& screen = path_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case NameRole:
      return QString::fromLatin1(screenName(screen.kind).data(), screenName(screen.kind).size());
    case OfferIDRole:
      return toQt(screen.offerID);
    default:
      return {};
  }
}

QHash<int, QByteArray> NavigationModel::roleNames() const { return {{NameRole, "name"}, {OfferIDRole, "offerID"}}; }

void NavigationModel::push(Screen screen) {
  const int row = depth();
  beginInsertRows({}, row, row);
  path_.push_back(std::move(screen));
  endInsertRows();
  emit pathChanged();
}

void NavigationModel::clear() {
  if (path_.empty()) return;
  beginResetModel();
  path_.clear();
  endResetModel();
  emit pathChanged();
}

void NavigationModel::pop() {
  if (path_.empty()) return;
  const int row = depth() - 1;
  beginRemoveRows({}, row, row);
  path_.pop_back();
  endRemoveRows();
  emit pathChanged();
}

void NavigationModel::setSelectedGoal(std::optional<std::string> key) {
  if (selectedGoal_ == key) return;
  selectedGoal_ = std::move(key);
  emit selectionChanged();
}

void NavigationModel::setSelectedNextStep(std::optional<std::string> key) {
  if (selectedNextStep_ == key) return;
  selectedNextStep_ = std::move(key);
  emit selectionChanged();
}

QString NavigationModel::selectedGoalQt() const { return toQt(selectedGoal_.value_or("")); }
QString NavigationModel::selectedNextStepQt() const { return toQt(selectedNextStep_.value_or("")); }

std::string NavigationModel::currentScreenName() const {
  return path_.empty() ? "welcome" : std::string(screenName(path_.back().kind));
}

QString NavigationModel::currentScreenNameQt() const { return toQt(currentScreenName()); }

std::string currentScreenName(const QPointer<NavigationModel>& navigation) {
  return navigation ? navigation->currentScreenName() : "welcome";
}

}  // namespace bnch::ui
