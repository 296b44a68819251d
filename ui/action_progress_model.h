#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/platform/executor.h"
#include "engine/probes/system_profile.h"
#include "engine/telemetry/run_lifecycle.h"
#include "engine/workflow/action_progress_run.h"
#include "ui/platform_services.h"

namespace bnch::ui {

// Makes the runner that performs remediations on a Mac like the profile says.
using RemediationRunnerFactory = std::function<std::shared_ptr<RemediationRunning>(const SystemProfile&)>;

// What a progress screen needs from the application. Pointers must outlive the
// models made with it.
struct ActionProgressDependencies {
  AppServices services;  // the post-install checks' login shell and file system
  std::shared_ptr<UsageEventTracking> tracker;
  std::shared_ptr<RemediationAttempts> attempts;  // one for the process
  RunLifecycle* lifecycle = nullptr;
  PlatformServices* platform = nullptr;
  std::shared_ptr<Executor> executor;  // the run blocks one of its background threads
  RemediationRunnerFactory makeRunner;
  RunStreamKeepAlive keepAlive = RunStreamKeepAlive::progressScreen();
};

// One approved action on the progress screen: runs it in the background,
// shows its output, and hands the outcome back when the person leaves with
// Cancel or Continue.
//
// The rows are the output as shown: passed through the install output filter
// as it arrives (off the GUI thread), each line cut to displayCharacterLimit,
// only the last displayLineLimit kept, and added at most once a frame so that
// a flood of output never stalls the window. `lines()` keeps every line as it
// came. A one-time code the run puts on the clipboard (a device sign-in) is
// kept for the screen to show until it is left. While the run is going the
// run lifecycle counts it in flight (the quit guard refuses to quit); leaving
// the screen or destroying the model stops it. GUI thread only.
class ActionProgressModel : public QAbstractListModel {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("Made by the flow model for an approved install")
  Q_PROPERTY(QString title READ title CONSTANT)
  // The status line: the calm line while running, then how the run ended.
  Q_PROPERTY(QString statusText READ statusText NOTIFY stateChanged)
  // What Continue hands back once the run has ended ("success", "failure",
  // "canceled"); empty while it runs.
  Q_PROPERTY(QString result READ result NOTIFY stateChanged)
  Q_PROPERTY(bool running READ running NOTIFY stateChanged)
  Q_PROPERTY(bool canceled READ canceled NOTIFY stateChanged)
  Q_PROPERTY(int exitCode READ exitCode NOTIFY stateChanged)
  Q_PROPERTY(QString lastErrorText READ lastErrorText NOTIFY stateChanged)
  Q_PROPERTY(int lineCount READ lineCount NOTIFY linesChanged)
  Q_PROPERTY(QString oneTimeCode READ oneTimeCode NOTIFY oneTimeCodeChanged)

 public:
  enum Role { TextRole = Qt::UserRole + 1, QuietRole };
  enum class Outcome { success, failure, canceled };
  using FinishHandler = std::function<void(Outcome, const QString& errorText)>;

  static constexpr int displayLineLimit = 5000;
  static constexpr std::size_t displayCharacterLimit = 2000;
  static constexpr int frameMilliseconds = 16;
  static constexpr const char* successLine = "Done.";
  static constexpr const char* failureLine = "That step didn't finish.";
  static constexpr const char* canceledLine = "Stopped before it finished.";

  ActionProgressModel(QString title, ActionProgressPlan plan, std::shared_ptr<RemediationRunning> runner,
                      ActionProgressDependencies dependencies, FinishHandler onFinish, QObject* parent = nullptr);
  ~ActionProgressModel() override;

  // Starts the run (once; later calls do nothing).
  void start();

  QString title() const { return title_; }
  QString statusText() const;
  QString result() const;
  bool running() const { return started_ && !result_; }
  bool canceled() const { return canceled_; }
  int exitCode() const { return result_ ? result_->exitCode : 0; }
  QString lastErrorText() const;
  int lineCount() const;
  QString oneTimeCode() const { return oneTimeCode_; }
  // Every line so far, unfiltered, in arrival order.
  std::vector<std::string> lines() const;

  // Stops the run at once and leaves with `canceled`.
  Q_INVOKABLE void cancel();
  // After the run: leaves with its outcome (success, or failure with the last error text).
  Q_INVOKABLE void continueOn();
  // Puts the one-time code on the clipboard again.
  Q_INVOKABLE void copyOneTimeCode();

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QHash<int, QByteArray> roleNames() const override;

 signals:
  void stateChanged();
  void linesChanged();
  void oneTimeCodeChanged();

 private:
  struct Row {
    QString text;
    bool quiet = false;
  };
  // Shared with the run's thread, which may outlive the model by a moment.
  struct Output;

  std::optional<Outcome> outcome() const;
  void flush();
  void ended(ActionProgressRun::Result result);
  void leave(Outcome outcome, const QString& errorText);
  void endInFlight();

  QString title_;
  ActionProgressDependencies deps_;
  FinishHandler onFinish_;
  std::shared_ptr<ActionProgressRun> run_;
  std::shared_ptr<Output> output_;
  std::deque<Row> rows_;
  QTimer flushTimer_;
  bool started_ = false;
  bool inFlight_ = false;
  bool canceled_ = false;
  bool left_ = false;
  std::optional<ActionProgressRun::Result> result_;
  QString oneTimeCode_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace bnch::ui
