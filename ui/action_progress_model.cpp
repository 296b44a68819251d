#include "ui/action_progress_model.h"

#include <mutex>
#include <utility>

#include "engine/platform/utf8.h"
#include "engine/remediation/install_output_filter.h"
#include "engine/telemetry/error_text_redaction.h"
#include "ui/qt_text.h"

namespace bnch::ui {

namespace {

// The keep-alive's heartbeat, shown quieter than the install's own output.
bool isHeartbeat(const std::string& line) {
  static const std::string start = RunStreamKeepAlive::progressHeartbeatLine(0).substr(0, 16);
  static const std::string end = "Please keep this window open.";
  return line.starts_with(start) && line.ends_with(end);
}

}  // namespace

struct ActionProgressModel::Output {
  std::mutex mutex;
  std::vector<std::string> lines;  // every line as it came
  std::deque<Row> waiting;         // shown lines not yet handed to the GUI
  bool flushPending = false;
  InstallOutputFilter::Incremental filter;  // the run's thread only

  // On the run's thread. True when the GUI should be told that rows wait.
  bool add(const std::string& line) {
    std::vector<std::string> shown;
    filter.push(line, shown);
    std::vector<Row> rows;
    for (const std::string& text : shown) {
      const bool cut = text.size() > displayCharacterLimit && utf8::characterCount(text) > displayCharacterLimit;
      rows.push_back({toQt(cut ? utf8::prefix(text, displayCharacterLimit) + "…" : text), isHeartbeat(text)});
    }
    std::lock_guard lock(mutex);
    lines.push_back(line);
    for (Row& row : rows) waiting.push_back(std::move(row));
    while (waiting.size() > static_cast<std::size_t>(displayLineLimit)) waiting.pop_front();
    if (flushPending || waiting.empty()) return false;
    flushPending = true;
    return true;
  }

  std::deque<Row> take() {
    std::lock_guard lock(mutex);
    flushPending = false;
    return std::exchange(waiting, {});
  }
};

ActionProgressModel::ActionProgressModel(QString title, ActionProgressPlan plan,
                                         std::shared_ptr<RemediationRunning> runner,
                                         ActionProgressDependencies dependencies, FinishHandler onFinish,
                                         QObject* parent)
    : QAbstractListModel(parent),
      title_(std::move(title)),
      deps_(std::move(dependencies)),
      onFinish_(std::move(onFinish)),
      output_(std::make_shared<Output>()) {
  Q_ASSERT(deps_.lifecycle && deps_.platform && deps_.executor);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(frameMilliseconds);
  connect(&flushTimer_, &QTimer::timeout, this, &ActionProgressModel::flush);

  // The run's hooks come from its thread; what touches the model goes to the
  // GUI thread and is dropped once the model is gone.
  const std::weak_ptr<int> alive = alive_;
  const auto executor = deps_.executor;
  PlatformServices* platform = deps_.platform;
  ActionProgressServices services;
  services.runner = std::move(runner);
  services.tracker = deps_.tracker;
  services.attempts = deps_.attempts;
  if (deps_.services.fs) services.postInstallCheck = ActionProgressServices::checkerOver(deps_.services);
  services.keepAlive = deps_.keepAlive;
  services.privateValues = PrivateValues::ofThisAccount();
  services.onLine = [this, alive, executor, output = output_](const std::string& line) {
    if (!output->add(line)) return;
    executor->main([this, alive] {
      if (!alive.expired() && !flushTimer_.isActive()) flushTimer_.start();
    });
  };
  // The run copies only a one-time code: the screen shows it too.
  services.copyToClipboard = [this, alive, executor, platform](const std::string& code) {
    executor->main([this, alive, platform, code] {
      if (alive.expired()) return;
      oneTimeCode_ = toQt(code);
      platform->copyToClipboard(oneTimeCode_);
      emit oneTimeCodeChanged();
    });
  };
  services.openURL = [alive, executor, platform](const std::string& url) {
    executor->main([alive, platform, url] {
      if (alive.expired() || platform->openURL(toQt(url))) return;
      platform->showAlert(Alert{QStringLiteral("Couldn't open the browser"),
                                QStringLiteral("To sign in, open %1 in your browser.").arg(toQt(url)),
                                QStringLiteral("OK")});
    });
  };
  run_ = std::make_shared<ActionProgressRun>(std::move(plan), std::move(services));
}

ActionProgressModel::~ActionProgressModel() {
  // Leaving the screen while the run goes on stops it; its thread ends by itself.
  if (running()) run_->cancel();
  endInFlight();
}

void ActionProgressModel::start() {
  if (started_) return;
  started_ = true;
  deps_.lifecycle->beginInstall();
  inFlight_ = true;
  const std::weak_ptr<int> alive = alive_;
  deps_.executor->background([this, alive, run = run_, executor = deps_.executor] {
    ActionProgressRun::Result result = run->run();
    executor->main([this, alive, result = std::move(result)]() mutable {
      if (!alive.expired()) ended(std::move(result));
    });
  });
  emit stateChanged();
}

namespace {

// Each ending's name (what QML compares) and the line the status shows.
struct Ending {
  const char* name;
  const char* line;
};

Ending endingOf(ActionProgressModel::Outcome outcome) {
  switch (outcome) {
    case ActionProgressModel::Outcome::success:
      return {"success", ActionProgressModel::successLine};
    case ActionProgressModel::Outcome::failure:
      return {"failure", ActionProgressModel::failureLine};
    case ActionProgressModel::Outcome::canceled:
      return {"canceled", ActionProgressModel::canceledLine};
  }
  return {"", ""};
}

}  // namespace

QString ActionProgressModel::statusText() const {
  const std::optional<Outcome> ending = outcome();
  return toQt(ending ? endingOf(*ending).line : ActionProgressRun::statusLine);
}

QString ActionProgressModel::result() const {
  const std::optional<Outcome> ending = outcome();
  return ending ? QString::fromLatin1(endingOf(*ending).name) : QString();
}

// How the run ended, once it has; what Continue hands back.
std::optional<ActionProgressModel::Outcome> ActionProgressModel::outcome() const {
  if (!result_) return std::nullopt;
  if (canceled_ || result_->canceled) return Outcome::canceled;
  return result_->exitCode == 0 ? Outcome::success : Outcome::failure;
}

QString ActionProgressModel::lastErrorText() const {
  return result_ && result_->lastErrorText ? toQt(*result_->lastErrorText) : QString();
}

int ActionProgressModel::lineCount() const {
  std::lock_guard lock(output_->mutex);
  return static_cast<int>(output_->lines.size());
}

std::vector<std::string> ActionProgressModel::lines() const {
  std::lock_guard lock(output_->mutex);
  return output_->lines;
}

void ActionProgressModel::flush() {
  std::deque<Row> batch = output_->take();
  if (batch.empty()) return;
  const int count = static_cast<int>(batch.size());
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + count - 1);
  for (Row& row : batch) rows_.push_back(std::move(row));
  endInsertRows();
  const int excess = static_cast<int>(rows_.size()) - displayLineLimit;
  if (excess > 0) {
    beginRemoveRows({}, 0, excess - 1);
    rows_.erase(rows_.begin(), rows_.begin() + excess);
    endRemoveRows();
  }
  emit linesChanged();
}

void ActionProgressModel::ended(ActionProgressRun::Result result) {
  flushTimer_.stop();
  flush();
  result_ = std::move(result);
  endInFlight();
  emit stateChanged();
}

void ActionProgressModel::endInFlight() {
  if (!inFlight_) return;
  inFlight_ = false;
  deps_.lifecycle->endInstall();
}

void ActionProgressModel::cancel() {
  if (left_) return;
  run_->cancel();
  canceled_ = true;
  emit stateChanged();
  leave(Outcome::canceled, {});
}

void ActionProgressModel::continueOn() {
  if (!result_ || left_) return;
  const Outcome ending = *outcome();
  leave(ending, ending == Outcome::failure ? lastErrorText() : QString());
}

void ActionProgressModel::copyOneTimeCode() {
  if (!oneTimeCode_.isEmpty()) deps_.platform->copyToClipboard(oneTimeCode_);
}

void ActionProgressModel::leave(Outcome outcome, const QString& errorText) {
  left_ = true;
  if (onFinish_) onFinish_(outcome, errorText);
}

int ActionProgressModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ActionProgressModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= static_cast<int>(rows_.size())) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  if (role == TextRole || role == Qt::DisplayRole) return row.text;
  if (role == QuietRole) return row.quiet;
  return {};
}

QHash<int, QByteArray> ActionProgressModel::roleNames() const { return {{TextRole, "line"}, {QuietRole, "quiet"}}; }

}  // namespace bnch::ui
