// Start-up of the program: from launching benchkit-python to the first frame
// that shows the welcome screen, offscreen, median of 10 runs. Beside it, the
// floor: a bare QGuiApplication with an empty window (this binary, run as
// `startup_bench floor`). Each child writes the monotonic clock at its first
// frame into a file and quits; the parent timed the launch.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QGuiApplication>
#include <QQuickWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

long long monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

int runFloor(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QQuickWindow window;
  window.resize(720, 720);
  const QString file = qEnvironmentVariable("BNCH_FIRST_FRAME_FILE");
  QObject::connect(
      &window, &QQuickWindow::frameSwapped, &window,
      [file] {
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) out.write(QByteArray::number(monotonicNanoseconds()));
        QGuiApplication::quit();
      },
      Qt::QueuedConnection);
  window.show();
  return app.exec();
}

// Milliseconds from launch to the first frame the child reports; negative on failure.
double timeOneStart(const std::string& program, const std::vector<std::string>& arguments, const fs::path& frameFile) {
  fs::remove(frameFile);
  std::vector<char*> argv;
  std::vector<std::string> all{program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const long long start = monotonicNanoseconds();
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  std::ifstream in(frameFile);
  long long frame = 0;
  if (!(in >> frame) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return static_cast<double>(frame - start) / 1e6;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "floor") return runFloor(argc, argv);

  constexpr int runs = 10;
  // A fresh home in which consent was already given, so the welcome screen is the first one.
  const fs::path home = fs::temp_directory_path() / ("bnch-startup-" + std::to_string(getpid()));
  fs::create_directories(home / "Library/Preferences");
  std::ofstream(home / "Library/Preferences/com.quillora.benchkit-python.json")
      << R"({"com.quillora.bnch.python.consented": true})";
  const fs::path frameFile = home / "first-frame";
  setenv("HOME", home.c_str(), 1);
  setenv("TMPDIR", home.c_str(), 1);  // its own single-instance lock, apart from an open window
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_QUICK_BACKEND", "software", 1);
  setenv("BNCH_TELEMETRY_DISABLED", "1", 1);
  setenv("BNCH_FIRST_FRAME_FILE", frameFile.c_str(), 1);
  if (!getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  fs::permissions(home, fs::perms::owner_all);

  const std::string self = fs::absolute(argv[0]).string();
  std::vector<double> app, floor;
  for (int run = 0; run < runs; ++run) {
    const double appMs = timeOneStart(BNCH_APP_PATH, {}, frameFile);
    const double floorMs = timeOneStart(self, {"floor"}, frameFile);
    if (appMs < 0 || floorMs < 0) {
      std::fprintf(stderr, "startup_bench: a run failed (app %.1f ms, floor %.1f ms)\n", appMs, floorMs);
      fs::remove_all(home);
      return 1;
    }
    app.push_back(appMs);
    floor.push_back(floorMs);
    std::printf("run %2d: benchkit-python %7.1f ms   bare window %7.1f ms\n", run + 1, appMs, floorMs);
  }
  fs::remove_all(home);
  const double appMedian = median(app), floorMedian = median(floor);
  std::printf("median start to first welcome frame: %.1f ms (target under 400 ms)\n", appMedian);
  std::printf("median start to first frame of a bare QGuiApplication + empty window: %.1f ms\n", floorMedian);
  std::printf("RESULT startup_ms=%.1f floor_ms=%.1f ratio=%.2f\n", appMedian, floorMedian, appMedian / floorMedian);
  return 0;
}
