// Frames of the progress screen while an install streams 100,000 lines as fast
// as a child can print them (`seq` through the live process runner), offscreen.
// Beside them the floor: the same window, for the same time, with nothing but
// the small animation both windows carry so that a frame is due every vsync.
// Prints frames rendered, the longest gap between frames, the 99th-percentile
// frame time and the growth of peak memory; targets: no gap over 50 ms, p99
// under 16.7 ms, growth under 50 MiB. Prints, never asserts.

#include <QtQml/qqmlextensionplugin.h>
#include <sys/resource.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <numeric>
#include <vector>

#include "engine/platform/live_process_runner.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/recording_usage_event_tracker.h"
#include "ui/action_progress_model.h"
#include "ui/qt_executor.h"

Q_IMPORT_QML_PLUGIN(BenchkitPlugin)

namespace {

using namespace bnch;
using Clock = std::chrono::steady_clock;

constexpr int lineTotal = 100'000;
constexpr int rounds = 3;

// Every remediation is one child printing numbered lines: the live process
// runner's stream mapped to the runner's events, as the real jobs map theirs.
class PrintingRunner final : public RemediationRunning {
 public:
  EventStream<RemediationEvent> run(const SetupRemediation&, const std::string&) override {
    auto [stream, out] = EventStream<RemediationEvent>::make();
    auto cancellation = std::make_shared<LiveProcessCancellation>();
    out.onTermination([cancellation](StreamTermination how) {
      if (how == StreamTermination::canceled) cancellation->cancel();
    });
    auto lines = std::make_shared<EventStream<ProcessStreamEvent>>(process_.stream(
        ProcessRequest{.executable = "/usr/bin/seq", .arguments = {"1", std::to_string(lineTotal)}}, cancellation));
    std::thread([lines, out] {
      while (auto event = lines->next()) {
        if (auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
          out.yield(RemediationEvent::output(std::move(line->text)));
        } else if (auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
          out.yield(RemediationEvent::completed(exited->code));
        } else if (auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event->value)) {
          out.yield(RemediationEvent::output("Failed to start: " + failed->message));
          out.yield(RemediationEvent::completed(-1));
        }
      }
      out.finish();
    }).detach();
    return std::move(stream);
  }

 private:
  LiveProcessRunner process_;
};

struct QuietPlatform final : ui::PlatformServices {
  bool openURL(const QString&) override { return true; }
  void copyToClipboard(const QString&) override {}
  void showAlert(const ui::Alert&) override {}
  void chooseFolder(const QString&, std::function<void(std::optional<QString>)> done) override { done({}); }
  bool revealFolder(const QString&) override { return true; }
  bool openApplication(const QString&) override { return true; }
};

// Times every frame the window presents: when it was presented, and how long
// it took from synchronising the scene to presenting it (the frame's own work).
class FrameMeter {
 public:
  struct Marks {
    std::vector<Clock::time_point> presented;
    std::vector<double> workMs;
  };

  explicit FrameMeter(QQuickWindow& window) {
    QObject::connect(
        &window, &QQuickWindow::beforeSynchronizing, &window,
        [this] {
          std::lock_guard lock(mutex_);
          syncStart_ = Clock::now();
        },
        Qt::DirectConnection);
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [this] {
          std::lock_guard lock(mutex_);
          if (!recording_) return;
          const auto now = Clock::now();
          marks_.presented.push_back(now);
          marks_.workMs.push_back(std::chrono::duration<double, std::milli>(now - syncStart_).count());
        },
        Qt::DirectConnection);
  }
  void start() {
    std::lock_guard lock(mutex_);
    marks_ = {{Clock::now()}, {}};
    recording_ = true;
  }
  Marks stop() {
    std::lock_guard lock(mutex_);
    recording_ = false;
    marks_.presented.push_back(Clock::now());  // a stall at the end counts too
    return marks_;
  }

 private:
  std::mutex mutex_;
  bool recording_ = false;
  Clock::time_point syncStart_;
  Marks marks_;
};

struct Figures {
  std::size_t frames = 0;
  double longestGapMs = 0;
  double p99GapMs = 0;
  double p99WorkMs = 0;
};

double percentile99(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, values.size() * 99 / 100)];
}

Figures figuresOf(const std::vector<FrameMeter::Marks>& rounds) {
  Figures figures;
  std::vector<double> gaps, work;
  for (const auto& marks : rounds) {
    figures.frames += marks.presented.size() - 2;
    for (std::size_t i = 1; i < marks.presented.size(); ++i) {
      gaps.push_back(std::chrono::duration<double, std::milli>(marks.presented[i] - marks.presented[i - 1]).count());
    }
    work.insert(work.end(), marks.workMs.begin(), marks.workMs.end());
  }
  figures.longestGapMs = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
  figures.p99GapMs = percentile99(gaps);
  figures.p99WorkMs = percentile99(work);
  return figures;
}

double peakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
#ifdef __APPLE__
  return static_cast<double>(usage.ru_maxrss) / (1024.0 * 1024.0);
#else
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
#endif
}

void print(const char* name, const Figures& figures, double seconds) {
  std::printf("%-8s %4zu frames in %.2f s (%3.0f/s)  longest gap %5.1f ms  p99 gap %5.1f ms  p99 frame time %5.1f ms\n",
              name, figures.frames, seconds, static_cast<double>(figures.frames) / seconds, figures.longestGapMs,
              figures.p99GapMs, figures.p99WorkMs);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
  QGuiApplication app(argc, argv);
  QQmlEngine engine;
  QQuickWindow window;
  window.resize(720, 700);
  QQmlComponent tickerComponent(&engine);
  tickerComponent.setData(
      "import QtQuick\nRectangle { width: 8; height: 8; z: 10; color: 'grey'\n"
      "  NumberAnimation on x { from: 0; to: 700; duration: 2000; loops: Animation.Infinite } }",
      {});
  std::unique_ptr<QQuickItem> ticker(qobject_cast<QQuickItem*>(tickerComponent.create()));
  if (!ticker) {
    std::fprintf(stderr, "%s\n", qPrintable(tickerComponent.errorString()));
    return 1;
  }
  ticker->setParentItem(window.contentItem());
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  FrameMeter meter(window);
  QTest::qWait(300);

  auto store = std::make_shared<testing::MemoryKeyValueStore>();
  auto tracker = std::make_shared<testing::RecordingUsageEventTracker>();
  RunLifecycle lifecycle(store, *tracker);
  QuietPlatform platform;
  const ui::ActionProgressDependencies deps{.tracker = tracker,
                                            .attempts = std::make_shared<RemediationAttempts>(),
                                            .lifecycle = &lifecycle,
                                            .platform = &platform,
                                            .executor = std::make_shared<ui::QtExecutor>()};
  QQmlComponent viewComponent(&engine, QUrl("qrc:/Benchkit/SetupActionProgressView.qml"));

  // Each round: a fresh progress screen, measured from the start of the install
  // to a moment after its end.
  const double peakBefore = peakMiB();
  std::vector<FrameMeter::Marks> installRounds;
  std::vector<int> roundMs;
  bool allEnded = true;
  int lastLineCount = 0, lastRowCount = 0, lastExitCode = 0;
  for (int round = 0; round < rounds; ++round) {
    ui::ActionProgressModel progress(QStringLiteral("Install uv and Python"),
                                     ActionProgressPlan{{SetupRemediation::installUv(false)}, false, "", {}},
                                     std::make_shared<PrintingRunner>(), deps, {});
    std::unique_ptr<QQuickItem> view(qobject_cast<QQuickItem*>(
        viewComponent.createWithInitialProperties({{"progress", QVariant::fromValue(&progress)}})));
    if (!view) {
      std::fprintf(stderr, "%s\n", qPrintable(viewComponent.errorString()));
      return 1;
    }
    view->setParentItem(window.contentItem());
    view->setSize(window.size());
    QTest::qWait(200);
    QElapsedTimer timer;
    timer.start();
    meter.start();
    progress.start();
    allEnded = QTest::qWaitFor([&] { return !progress.running(); }, 120'000) && allEnded;
    QTest::qWait(100);
    installRounds.push_back(meter.stop());
    roundMs.push_back(static_cast<int>(timer.elapsed()));
    lastLineCount = progress.lineCount();
    lastRowCount = progress.rowCount();
    lastExitCode = progress.exitCode();
  }
  const double growth = peakMiB() - peakBefore;

  // The floor: the window alone for the same times.
  std::vector<FrameMeter::Marks> floorRounds;
  for (int ms : roundMs) {
    meter.start();
    QTest::qWait(ms);
    floorRounds.push_back(meter.stop());
  }

  const double seconds = std::accumulate(roundMs.begin(), roundMs.end(), 0) / 1000.0;
  const Figures install = figuresOf(installRounds);
  const Figures floor = figuresOf(floorRounds);
  std::printf("progress screen, %d rounds of %d lines from `seq` through the live process runner (offscreen, %s)\n",
              rounds, lineTotal, qPrintable(qEnvironmentVariable("QT_QUICK_BACKEND")));
  std::printf("last round: %s, %d lines kept, %d rows shown, exit %d; rounds took",
              allEnded ? "ended" : "STILL RUNNING", lastLineCount, lastRowCount, lastExitCode);
  for (int ms : roundMs) std::printf(" %d ms", ms);
  std::printf("\n");
  print("floor", floor, seconds);
  print("install", install, seconds);
  std::printf("peak memory growth %.1f MiB\n", growth);
  std::printf("targets: longest gap <= 50 ms (%s), p99 frame time < 16.7 ms (%s), growth < 50 MiB (%s)\n",
              install.longestGapMs <= 50 ? "met" : "MISSED", install.p99WorkMs < 16.7 ? "met" : "MISSED",
              growth < 50 ? "met" : "MISSED");
  std::printf(
      "RESULT lines=%d install_frames=%zu install_max_gap_ms=%.1f install_p99_gap_ms=%.1f "
      "install_p99_frame_ms=%.1f floor_frames=%zu floor_max_gap_ms=%.1f floor_p99_gap_ms=%.1f "
      "floor_p99_frame_ms=%.1f gap_ratio=%.2f growth_mib=%.1f\n",
      lastLineCount, install.frames, install.longestGapMs, install.p99GapMs, install.p99WorkMs, floor.frames,
      floor.longestGapMs, floor.p99GapMs, floor.p99WorkMs,
      floor.longestGapMs > 0 ? install.longestGapMs / floor.longestGapMs : 0.0, growth);
  return allEnded ? 0 : 1;
}
