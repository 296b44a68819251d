#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <QPointer>
#include <string>
#include <string_view>
#include <vector>

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

// The navigation path: the screens pushed above the welcome screen, oldest
// first. A list model (role `name`, plus `offerID`) so the window can stack a
// page per entry. GUI thread only.
class NavigationModel : public QAbstractListModel {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("The root model owns the navigation")
  Q_PROPERTY(QString currentScreenName READ currentScreenNameQt NOTIFY pathChanged)
  Q_PROPERTY(int depth READ depth NOTIFY pathChanged)

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

  const std::vector<Screen>& path() const { return path_; }
  int depth() const { return static_cast<int>(path_.size()); }
  // The screen on top: "welcome" for an empty path.
  std::string currentScreenName() const;

 signals:
  void pathChanged();

 private:
  QString currentScreenNameQt() const;

  std::vector<Screen> path_;
};

// The name of the screen on top of the navigation, "welcome" when it is gone.
std::string currentScreenName(const QPointer<NavigationModel>& navigation);

}  // namespace bnch::ui
