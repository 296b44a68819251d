#include "app/screen_tour.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace bnch {

namespace {

QPalette darkPalette() {
  QPalette palette;
  const QColor window(0x1c, 0x1d, 0x20), base(0x27, 0x28, 0x2c), text(0xec, 0xec, 0xef);
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, base);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::ToolTipBase, base);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x95));
  palette.setColor(QPalette::Highlight, QColor(0x5e, 0xa4, 0xff));
  palette.setColor(QPalette::HighlightedText, QColor(0x08, 0x17, 0x29));
  palette.setColor(QPalette::Link, QColor(0x5e, 0xa4, 0xff));
  palette.setColor(QPalette::Light, QColor(0x3b, 0x3c, 0x42));
  palette.setColor(QPalette::Mid, QColor(0x3b, 0x3c, 0x42));
  palette.setColor(QPalette::Dark, QColor(0x12, 0x12, 0x14));
  return palette;
}

void setAppearance(bool dark) {
  QGuiApplication::setPalette(dark ? darkPalette() : QPalette(QColor(0xf6, 0xf6, 0xf7)));
}

// A screen the walk knows: its root's objectName and the button that leads on.
struct TourStop {
  const char* screen;
  const char* name;
  const char* next;             // nullptr: the walk ends here; "": the screen moves on by itself
  bool firstVisitOnly = false;  // later visits go to the next stop of the same screen
};
// The primary path of a fresh Mac: every install is approved (the progress screen
// is saved when its run has ended), the offers are skipped, the outcome is
// answered, and the walk ends at the satisfaction question. Homebrew is skipped
// at first, so that the next stage asks for it and it is installed from there.
// The progress screen, the failure ramp and the Homebrew-first note come first:
// the stage stays visible beneath and around them.
constexpr std::array<TourStop, 20> tourStops{{
    {"setup-action-progress-view", "progress", "setup-action-continue"},
    {"failure-ramp", "failure-ramp", nullptr},  // an install failed: the walk ends, showing why
    {"homebrew-first-note", "homebrew-first", "install-homebrew-first"},
    {"consent-screen", "consent", "consent-continue"},
    {"welcome-screen", "welcome", "welcome-diagnose-button"},
    {"experience-screen", "experience", "experience-learning"},
    {"workflow-loading", "loading", ""},
    {"diagnosis-screen", "diagnosis", "diagnosis-continue"},
    {"competing-owner-screen", "competing-owner", "competing-owner-continue"},
    {"readiness-screen", "readiness", "readiness-continue"},
    {"stage-clt", "stage-clt", "clt"},
    {"stage-shell-config", "stage-shell-config", "shell-config"},
    {"stage-homebrew", "stage-homebrew-skipped", "stage-skip", true},
    {"stage-homebrew", "stage-homebrew", "homebrew"},
    {"stage-warp", "stage-warp", "stage-skip"},
    {"stage-python", "stage-python", "brew:uv"},
    {"stage-python-project", "stage-python-project", "stage-skip"},
    {"keep-going-screen", "keep-going", "finish-here"},
    {"outcome-screen", "outcome", "outcome-resolved"},
    {"satisfaction-screen", "satisfaction", nullptr},
}};

// A walk that stops moving (a screen that never comes, an install that never
// ends) ends anyway after this long without a new screen.
constexpr int stallLimitMs = 240000;

QQuickItem* visibleItem(QQuickItem* item, const QString& name) {
  if (!item->isVisible()) return nullptr;
  if (item->objectName() == name) return item;
  for (QQuickItem* child : item->childItems()) {
    if (QQuickItem* found = visibleItem(child, name)) return found;
  }
  return nullptr;
}

QQuickItem* visibleItem(QQuickWindow& window, const char* name) { return findVisibleItem(window, QLatin1String(name)); }

class ScreenTour : public QObject {
 public:
  ScreenTour(QQuickWindow& window, QString folder) : QObject(&window), window_(window), folder_(std::move(folder)) {
    QDir().mkpath(folder_);
    window_.resize(window_.minimumSize());
    connect(&timer_, &QTimer::timeout, this, &ScreenTour::step);
    timer_.start(400);
    stall_.setSingleShot(true);
    connect(&stall_, &QTimer::timeout, this, [] {
      std::fprintf(stderr, "screenshot: no new screen for %d s; the walk ends\n", stallLimitMs / 1000);
      QGuiApplication::quit();
    });
    stall_.start(stallLimitMs);
  }

 private:
  void step() {
    // A page still sliding in is not there yet.
    if (QQuickItem* stack = visibleItem(window_, "navigation-stack"); stack && stack->property("busy").toBool()) return;
    for (std::size_t index = 0; index < tourStops.size(); ++index) {
      const TourStop& stop = tourStops[index];
      if (stop.firstVisitOnly && usedStops_.count(index)) continue;
      QQuickItem* screen = visibleItem(window_, stop.screen);
      if (!screen || visited(screen)) continue;
      // A screen whose way on is not there yet (an install still running) is
      // saved when it is.
      QQuickItem* button = stop.next && *stop.next ? visibleItem(window_, stop.next) : nullptr;
      if (stop.next && *stop.next && !button) return;
      visited_.emplace_back(screen);
      usedStops_.insert(index);
      stall_.start(stallLimitMs);
      const QString name = screenName(stop);
      save(name, false);
      setAppearance(true);
      save(name, true);
      setAppearance(false);
      if (!stop.next) {
        QGuiApplication::quit();
        return;
      }
      if (button) QMetaObject::invokeMethod(button, "clicked");
      return;
    }
  }

  bool visited(QQuickItem* screen) const {
    return std::any_of(visited_.begin(), visited_.end(),
                       [screen](const QPointer<QQuickItem>& seen) { return seen.data() == screen; });
  }

  // A progress screen is named after the stage it installs; two screens of one
  // kind (two readiness warnings) get two names.
  QString screenName(const TourStop& stop) {
    QString name = QLatin1String(stop.name);
    if (name.startsWith(QLatin1String("stage-"))) lastStage_ = name.mid(6);
    if (name == QLatin1String("progress")) name += QLatin1Char('-') + lastStage_;
    const int seen = ++seen_[name.toStdString()];
    return seen == 1 ? name : QStringLiteral("%1-%2").arg(name).arg(seen);
  }

  void save(const QString& name, bool dark) {
    const QString file = QDir(folder_).filePath(QStringLiteral("%1-%2.png").arg(name, dark ? "dark" : "light"));
    // grabWindow renders the scene as it is now, palette change included.
    if (window_.grabWindow().save(file)) {
      std::fprintf(stderr, "screenshot: %s\n", qPrintable(file));
    } else {
      std::fprintf(stderr, "screenshot: couldn't save %s\n", qPrintable(file));
    }
  }

  QQuickWindow& window_;
  QString folder_;
  QTimer timer_;
  QTimer stall_;
  std::vector<QPointer<QQuickItem>> visited_;
  QString lastStage_;
  std::map<std::string, int> seen_;
  std::set<std::size_t> usedStops_;
};

void watchFirstWelcomeFrame(QQuickWindow& window, const QString& file) {
  QObject::connect(
      &window, &QQuickWindow::frameSwapped, &window,
      [&window, file] {
        if (!visibleItem(window, "welcome-screen")) return;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
          out.write(QByteArray::number(static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec));
        }
        QGuiApplication::quit();
      },
      Qt::QueuedConnection);
}

}  // namespace

QQuickItem* findVisibleItem(QQuickWindow& window, const QString& name) {
  return visibleItem(window.contentItem(), name);
}

void applyAppearanceOverride() {
  const QByteArray appearance = qgetenv("BNCH_APPEARANCE");
  if (appearance == "dark" || appearance == "light") setAppearance(appearance == "dark");
}

void startScreenTourIfAsked(QQuickWindow& window) {
  if (const QString folder = qEnvironmentVariable("BNCH_SCREENSHOTS"); !folder.isEmpty()) {
    new ScreenTour(window, folder);
  }
  if (const QString file = qEnvironmentVariable("BNCH_FIRST_FRAME_FILE"); !file.isEmpty()) {
    watchFirstWelcomeFrame(window, file);
  }
}

}  // namespace bnch
