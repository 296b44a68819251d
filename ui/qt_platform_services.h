#pragma once

#include <QPointer>

#include "ui/platform_services.h"

class QQmlEngine;
class QQuickWindow;

namespace bnch::ui {

// The desktop services done with Qt: the default browser and file browser
// through QDesktopServices, the system clipboard, and Qt Quick's folder dialog.
// The alert is drawn by the window itself: `showAlert` hands it to the
// presenter the application installs (the root model, which the window shows
// as a modal dialog). Before the window exists, alerts go to the log.
class QtPlatformServices final : public PlatformServices {
 public:
  using AlertPresenter = std::function<void(const Alert&)>;

  void setAlertPresenter(AlertPresenter presenter) { presenter_ = std::move(presenter); }
  // The window the folder dialog opens over, and the engine that builds it.
  void setWindow(QQmlEngine* engine, QQuickWindow* window);

  bool openURL(const QString& url) override;
  void copyToClipboard(const QString& text) override;
  void showAlert(const Alert& alert) override;
  void chooseFolder(const QString& title, std::function<void(std::optional<QString>)> done) override;
  bool revealFolder(const QString& path) override;
  bool openApplication(const QString& path) override;

 private:
  AlertPresenter presenter_;
  QPointer<QQmlEngine> engine_;
  QPointer<QQuickWindow> window_;
};

}  // namespace bnch::ui
