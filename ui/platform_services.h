#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace bnch::ui {

// A modal warning with one button.
struct Alert {
  QString message;
  QString informativeText;
  QString buttonTitle;
  bool operator==(const Alert&) const = default;
};

// What the screens ask of the desktop, behind one narrow interface so that
// screen tests can script it. Called on the GUI thread. Failures are answers
// (false, absent), never exceptions.
class PlatformServices {
 public:
  virtual ~PlatformServices() = default;
  // Opens the address in the default browser; false when nothing could open it.
  virtual bool openURL(const QString& url) = 0;
  virtual void copyToClipboard(const QString& text) = 0;
  // Shows the alert over the window and returns at once; the person dismisses it.
  virtual void showAlert(const Alert& alert) = 0;
  // Asks for a folder; `done` gets the chosen path, or nothing when canceled.
  virtual void chooseFolder(const QString& title, std::function<void(std::optional<QString>)> done) = 0;
  // Shows the folder in the file browser.
  virtual bool revealFolder(const QString& path) = 0;
  // Opens an installed application by its bundle path ("/Applications/Warp.app").
  virtual bool openApplication(const QString& path) = 0;
};

}  // namespace bnch::ui
