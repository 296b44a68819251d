#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <QPointer>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workflow/product_config.h"

namespace bnch::ui {

// A screen pushed above the welcome screen. Only the content offer carries a
// value (its offer identifier); the audit context of sibling products is not
// carried because this program never pushes an audit.
struct Screen {
  enum class Kind { audit, contentOffer, diagnose, setupWorkflow, nextStep, guidedHelpOffer, aiCodingOffer };
  Kind kind = Kind::setupWorkflow;
  std::string offerID;  // contentOffer

  bool operator==(const Screen&) const = default;
};

// "setup_workflow", "content_offer", ... (the names the run lifecycle reports).
std::string_view screenName(Screen::Kind kind);

// The screen a next-step option's route opens. An audit route opens the audit
// screen; what follows it belongs to the audit flow of sibling products.
Screen screenFor(const OfferRoute& route);

// The navigation path: the screens pushed above the welcome screen, oldest
// first. A list model (role `name`, plus `offerID`) so the window can stack a
// page per entry. It also holds the goal and the next step the person chose,
// which the offer screens report. GUI thread only.
class NavigationModel : public QAbstractListModel {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("The root model owns the navigation")
  Q_PROPERTY(QString currentScreenName READ currentScreenNameQt NOTIFY pathChanged)
  Q_PROPERTY(int depth READ depth NOTIFY pathChanged)
  // Empty when none was chosen.
  Q_PROPERTY(QString selectedGoal READ selectedGoalQt NOTIFY selectionChanged)
  Q_PROPERTY(QString selectedNextStep READ selectedNextStepQt NOTIFY selectionChanged)

 public:
  enum Role { NameRole = Qt::UserRole + 1, OfferIDRole };
  Q_ENUM(Role)

  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QHash<int, QByteArray> roleNames() const override;

  void push(Screen screen);
  // Back to the welcome screen.
  Q_INVOKABLE void clear();
  // Back one screen; nothing on the welcome screen.
  Q_INVOKABLE void pop();

  const std::optional<std::string>& selectedGoal() const { return selectedGoal_; }
  const std::optional<std::string>& selectedNextStep() const { return selectedNextStep_; }
  void setSelectedGoal(std::optional<std::string> key);
  void setSelectedNextStep(std::optional<std::string> key);

  const std::vector<Screen>& path() const { return path_; }
  int depth() const { return static_cast<int>(path_.size()); }
  // The screen on top: "welcome" for an empty path.
  std::string currentScreenName() const;

 signals:
  void pathChanged();
  void selectionChanged();

 private:
  QString currentScreenNameQt() const;
  QString selectedGoalQt() const;
  QString selectedNextStepQt() const;

  std::vector<Screen> path_;
  std::optional<std::string> selectedGoal_;
  std::optional<std::string> selectedNextStep_;
};

// The name of the screen on top of the navigation, "welcome" when it is gone.
std::string currentScreenName(const QPointer<NavigationModel>& navigation);

}  // namespace bnch::ui
