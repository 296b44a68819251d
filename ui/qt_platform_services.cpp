#include "ui/qt_platform_services.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QUrl>

namespace bnch::ui {

namespace {
Q_LOGGING_CATEGORY(platformLog, "bnch.platform")

// The non-native dialog of Qt Quick, the same on every system.
constexpr const char* folderDialogSource = R"(
import QtQuick.Dialogs
FolderDialog { objectName: "folder-chooser"; acceptLabel: "Choose" }
)";

// Hands the dialog's answer to the caller once, then disposes of the dialog.
class FolderChoice : public QObject {
  Q_OBJECT
 public:
  FolderChoice(QObject* dialog, std::function<void(std::optional<QString>)> done)
      : QObject(dialog), dialog_(dialog), done_(std::move(done)) {}

 public slots:
  void accepted() { finish(dialog_->property("selectedFolder").toUrl().toLocalFile()); }
  void rejected() { finish(std::nullopt); }

 private:
  void finish(std::optional<QString> folder) {
    if (!done_) return;
    auto done = std::move(done_);
    done_ = nullptr;
    dialog_->deleteLater();
    done(std::move(folder));
  }
  QObject* dialog_;
  std::function<void(std::optional<QString>)> done_;
};
}  // namespace

void QtPlatformServices::setWindow(QQmlEngine* engine, QQuickWindow* window) {
  engine_ = engine;
  window_ = window;
}

bool QtPlatformServices::openURL(const QString& url) {
  const QUrl parsed(url, QUrl::StrictMode);
  if (!parsed.isValid() || parsed.scheme().isEmpty()) {
    qCWarning(platformLog) << "Couldn't open a link that is not an address:" << url;
    return false;
  }
  if (!QDesktopServices::openUrl(parsed)) {
    qCWarning(platformLog) << "Couldn't open" << url << "in the browser";
    return false;
  }
  return true;
}

void QtPlatformServices::copyToClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

void QtPlatformServices::showAlert(const Alert& alert) {
  if (presenter_) {
    presenter_(alert);
    return;
  }
  qCWarning(platformLog) << "Alert with no window to show it:" << alert.message << alert.informativeText;
}

void QtPlatformServices::chooseFolder(const QString& title, std::function<void(std::optional<QString>)> done) {
  if (!engine_ || !window_) {
    qCWarning(platformLog) << "Couldn't ask for a folder: no window";
    done(std::nullopt);
    return;
  }
  QQmlComponent component(engine_);
  component.setData(folderDialogSource, QUrl(QStringLiteral("qrc:/bnch/FolderChooser.qml")));
  QObject* dialog = component.create();
  if (!dialog) {
    qCWarning(platformLog) << "Couldn't build the folder dialog:" << component.errorString();
    done(std::nullopt);
    return;
  }
  dialog->setParent(window_);
  dialog->setProperty("parentWindow", QVariant::fromValue(window_.data()));
  dialog->setProperty("title", title);
  auto* choice = new FolderChoice(dialog, std::move(done));
  // The dialog's signals have no public C++ header: connect them by name.
  QObject::connect(dialog, SIGNAL(accepted()), choice, SLOT(accepted()));
  QObject::connect(dialog, SIGNAL(rejected()), choice, SLOT(rejected()));
  QMetaObject::invokeMethod(dialog, "open");
}

bool QtPlatformServices::revealFolder(const QString& path) {
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
    qCWarning(platformLog) << "Couldn't show" << path << "in the file browser";
    return false;
  }
  return true;
}

bool QtPlatformServices::openApplication(const QString& path) {
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
    qCWarning(platformLog) << "Couldn't open" << path;
    return false;
  }
  return true;
}

}  // namespace bnch::ui

#include "qt_platform_services.moc"
