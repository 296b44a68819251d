#include "engine/telemetry/telemetry_service.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/telemetry/error_text_redaction.h"
#include "engine/telemetry/event_payload.h"
#include "engine/telemetry/session_id.h"

namespace bnch {
namespace {

// A queue of at most a thousand events takes well under this; more is not ours.
constexpr std::uint64_t kPendingFileReadLimit = 8u << 20;

}  // namespace

struct TelemetryService::Core {
  struct Queued {
    std::uint64_t sequence = 0;  // identifies the entry while it is queued
    Event event;
  };
  enum class SendOutcome { delivered, dropped, failed };

  Configuration config;
  bool canSend = false;  // an endpoint and a key are configured
  std::mutex privateMutex;
  PrivateValues privateValues;  // under privateMutex
  UUID sessionID;
  UUID runID;
  std::shared_ptr<HTTPFetching> session;

  std::atomic<bool> stopping{false};
  std::atomic<std::uint64_t> tracked{0};

  // Events handed over by `track`, not yet queued. Never held with stateMutex.
  std::mutex inboxMutex;
  std::condition_variable inboxReady;
  std::vector<Event> inbox;
  bool inboxClosed = false;  // set by shutdown; later events are refused

  // The queue, the flags and the pending file. Never held with inboxMutex.
  mutable std::mutex stateMutex;
  std::condition_variable deliveryWake;
  std::condition_variable stateChanged;  // idle, back-off interruption, delivery thread ended
  std::deque<Queued> pending;
  std::uint64_t nextSequence = 0;
  std::uint64_t processed = 0;  // tracked events queued (or dropped by the bound)
  // Changes of `pending`, and the change the pending file last matched: a
  // write that would not change the file is skipped.
  std::uint64_t changes = 1;
  std::uint64_t writtenChange = 0;
  bool loaded = false;
  bool isFlushing = false;
  bool flushRequested = false;
  bool closed = false;  // past shutdown's grace: the delivery thread touches nothing more
  bool deliveryEnded = false;
  bool shutDown = false;

  std::thread queueThread;
  std::thread deliveryThread;

  void log(const std::string& line) const {
    if (config.log) {
      config.log(line);
    } else {
      systemTelemetryLog(line);
    }
  }

  // ---- Queue worker ----

  void runQueue() {
    loadPending();
    for (;;) {
      std::vector<Event> batch;
      {
        std::unique_lock lock(inboxMutex);
        inboxReady.wait(lock, [&] { return !inbox.empty() || inboxClosed; });
        batch.swap(inbox);
      }
      if (batch.empty()) break;  // closed, and everything tracked has been queued
      redact(batch);
      std::lock_guard lock(stateMutex);
      for (auto& event : batch) pending.push_back({nextSequence++, std::move(event)});
      ++changes;
      enforceBoundLocked();
      persistPendingLocked();
      processed += batch.size();
      requestFlushLocked();
      stateChanged.notify_all();
    }
  }

  void redact(std::vector<Event>& events) {
    PrivateValues values;
    {
      std::lock_guard lock(privateMutex);
      values = privateValues;
    }
    const auto clean = [&](auto& self, JSONValue& value) -> void {
      if (auto* text = std::get_if<std::string>(&value.value)) {
        *text = redactedText(*text, values);
      } else if (auto* list = std::get_if<JSONValue::Array>(&value.value)) {
        for (auto& item : *list) self(self, item);
      } else if (auto* object = std::get_if<JSONValue::Object>(&value.value)) {
        for (auto& [key, item] : *object) self(self, item);
      }
    };
    for (auto& event : events) {
      for (auto& [key, value] : event.eventData) clean(clean, value);
    }
  }

  // True when the pending file is a symbolic link (refused: a link could lead
  // the queue's bytes over another file, or its reads to a device).
  bool pendingFileIsLink() const {
    try {
      return config.fs->attributesOfItem(config.pendingFileURL).type == FileType::symlink;
    } catch (const std::exception&) {
      return false;  // missing
    }
  }

  void loadPending() {
    std::optional<DecodedPendingEvents> decoded = readPending();  // without the lock: the file may be slow
    std::lock_guard lock(stateMutex);
    if (decoded) mergeLoadedLocked(std::move(*decoded));
    loaded = true;
    if (!pending.empty()) requestFlushLocked();
    stateChanged.notify_all();
  }

  std::optional<DecodedPendingEvents> readPending() const {
    const auto& file = config.pendingFileURL;
    try {
      if (pendingFileIsLink()) {
        log("Telemetry: the pending events file is a symbolic link; it is left alone and not used");
        return std::nullopt;
      }
      if (!config.fs->fileExists(file)) return std::nullopt;
      return decodePendingEvents(config.fs->readData(file, kPendingFileReadLimit));
    } catch (const std::exception& error) {
      log(std::string("Telemetry: couldn't load pending events: ") + error.what());
      return std::nullopt;
    }
  }

  void mergeLoadedLocked(DecodedPendingEvents decoded) {
    if (decoded.skipped > 0) {
      log("Telemetry: skipped " + std::to_string(decoded.skipped) + " unreadable pending events");
    }
    std::deque<Queued> loadedEvents;
    for (auto& event : decoded.events) loadedEvents.push_back({nextSequence++, std::move(event)});
    // Nothing tracked is queued before loading ends, but keep the order rule explicit.
    for (auto& queued : pending) loadedEvents.push_back(std::move(queued));
    pending = std::move(loadedEvents);
    ++changes;
    // The file already holds exactly this queue unless entries were skipped or dropped.
    if (decoded.skipped == 0 && !enforceBoundLocked()) writtenChange = changes;
  }

  // Drops the oldest events beyond the bound; true when it dropped any.
  bool enforceBoundLocked() {
    if (pending.size() <= config.maxPendingEvents) return false;
    std::size_t excess = pending.size() - config.maxPendingEvents;
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(excess));
    log("Telemetry: pending queue is full (" + std::to_string(config.maxPendingEvents) + " events); dropped the " +
        std::to_string(excess) + " oldest");
    ++changes;
    return true;
  }

  void persistPendingLocked() {
    if (writtenChange == changes) return;
    const auto& file = config.pendingFileURL;
    try {
      config.fs->createDirectory(file.parent_path(), true);
      if (pending.empty()) {
        try {
          if (config.fs->fileExists(file)) config.fs->removeItem(file);
          writtenChange = changes;
        } catch (const std::exception&) {
          // Not logged; the removal is tried again at the next write.
        }
        return;
      }
      if (pendingFileIsLink()) {
        log("Telemetry: the pending events file is a symbolic link; not writing through it");
        return;
      }
      std::vector<Event> events;
      events.reserve(pending.size());
      for (const auto& queued : pending) events.push_back(queued.event);
      config.fs->writeData(encodePendingEvents(events), file, 0600);
      writtenChange = changes;
    } catch (const std::exception& error) {
      log(std::string("Telemetry: couldn't persist pending events: ") + error.what());
    }
  }

  // Starts a delivery loop unless one is running (which will reach the new events).
  void requestFlushLocked() {
    if (!canSend || isFlushing || pending.empty()) return;
    flushRequested = true;
    deliveryWake.notify_all();
  }

  // ---- Delivery worker ----

  void runDelivery() {
    std::unique_lock lock(stateMutex);
    for (;;) {
      deliveryWake.wait(lock, [&] { return stopping.load() || flushRequested; });
      if (stopping.load()) break;
      flushRequested = false;
      isFlushing = true;
      flushLocked(lock);
      isFlushing = false;
      stateChanged.notify_all();
      if (closed) return;
    }
    deliveryEnded = true;
    stateChanged.notify_all();
  }

  // The delivery loop. Called and returns with the lock held; sends without it.
  void flushLocked(std::unique_lock<std::mutex>& lock) {
    while (!pending.empty() && !stopping.load()) {
      Queued front = pending.front();
      lock.unlock();
      bool delivered = send(front.event, 0);
      lock.lock();
      if (closed) return;
      if (!delivered) {
        persistPendingLocked();
        return;
      }
      // The bound may have dropped the event while it was being sent.
      if (!pending.empty() && pending.front().sequence == front.sequence) {
        pending.pop_front();
        ++changes;
      }
      persistPendingLocked();
    }
  }

  // One try of the event, then up to two more after 0.5 s and 1 s. True when
  // the event leaves the queue (delivered, or rejected by the server with a
  // 4xx status other than 408 and 429).
  bool send(const Event& event, int attempt) {
    std::string failure;
    try {
      HTTPRequest request{
          .url = config.endpointURL,
          .method = "POST",
          .headers = {},
          .body = EventPayload::make(event, runID, config.appID, config.runContext).requestBody(),
          .timeoutSeconds = 60.0,
      };
      long status = session->data(request).response.statusCode;
      if (status >= 200 && status <= 299) return true;
      // 408 (request time-out) and 429 (too many requests) say "not now", not
      // "never": the event is deliverable and is tried again like a 5xx.
      bool notNow = status == 408 || status == 429;
      if (status >= 400 && status <= 499 && !notNow) {
        log("Telemetry: dropping event after " + std::to_string(status) + " (likely event_name or schema mismatch)");
        return true;
      }
      failure = "HTTP status " + std::to_string(status);
    } catch (const std::exception& error) {
      failure = error.what();
    } catch (...) {
      // A fetcher that throws something else must not end the delivery thread (and the process).
      failure = "unknown error";
    }
    if (attempt > 1 || stopping.load()) {
      log("Telemetry: couldn't deliver \"" + event.eventName + "\" (" + failure + "); it stays queued");
      return false;
    }
    backOff(std::chrono::duration<double>(std::pow(2.0, attempt + 1) * 0.25));
    if (stopping.load()) return false;
    return send(event, attempt + 1);
  }

  void backOff(std::chrono::duration<double> delay) {
    if (config.sleep) {
      config.sleep(delay);
      return;
    }
    std::unique_lock lock(stateMutex);
    stateChanged.wait_for(lock, delay, [&] { return stopping.load(); });
  }

  bool isIdleLocked() const { return loaded && processed == tracked.load() && !isFlushing && !flushRequested; }
};

TelemetryService::TelemetryService(Configuration configuration) : core_(std::make_shared<Core>()) {
  core_->config = std::move(configuration);
  core_->privateValues = core_->config.privateValues;
  core_->canSend = !core_->config.endpointURL.empty() && !core_->config.anonKey.empty();
  if (!core_->canSend) {
    core_->log("Telemetry: no endpoint and key are built in; events are kept in the pending file and not sent");
  }
  if (!core_->config.now) core_->config.now = [] { return std::chrono::system_clock::now(); };
  core_->sessionID = SessionID(core_->config.kvStore, core_->config.sessionKey).current();
  core_->runID = UUID::random();
  core_->session = core_->config.urlSessionFactory();
  core_->queueThread = std::thread([core = core_] { core->runQueue(); });
  core_->deliveryThread = std::thread([core = core_] { core->runDelivery(); });
}

TelemetryService::~TelemetryService() { shutdown(); }

void TelemetryService::track(const std::string& eventName, JSONObject data) {
  if (core_->config.disabled) return;
  Event event{
      .sessionID = core_->sessionID,
      .clientTimestamp = iso8601Timestamp(core_->config.now()),
      .appVersion = core_->config.appVersion,
      .eventName = eventName,
      .eventData = std::move(data),
  };
  bool wasEmpty;
  {
    std::lock_guard lock(core_->inboxMutex);
    if (core_->inboxClosed) return;
    wasEmpty = core_->inbox.empty();
    core_->inbox.push_back(std::move(event));
    ++core_->tracked;
  }
  // The queue worker waits only while the inbox is empty.
  if (wasEmpty) core_->inboxReady.notify_one();
}

void TelemetryService::rememberTypedValue(const std::string& value) {
  std::lock_guard lock(core_->privateMutex);
  core_->privateValues.typedValues.push_back(value);
}

const UUID& TelemetryService::sessionID() const { return core_->sessionID; }

const UUID& TelemetryService::runID() const { return core_->runID; }

std::string TelemetryService::runIDString() const { return core_->runID.lowercaseString(); }

bool TelemetryService::waitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(core_->stateMutex);
  return core_->stateChanged.wait_for(lock, timeout, [&] { return core_->isIdleLocked() || core_->shutDown; });
}

bool TelemetryService::waitUntilWritten(std::chrono::milliseconds timeout) {
  std::uint64_t target = core_->tracked.load();
  std::unique_lock lock(core_->stateMutex);
  return core_->stateChanged.wait_for(lock, timeout, [&] { return core_->processed >= target; });
}

void TelemetryService::shutdown(std::chrono::milliseconds grace) {
  auto& core = *core_;
  {
    std::lock_guard lock(core.stateMutex);
    if (core.shutDown) return;
    core.shutDown = true;
    core.stopping = true;
    core.deliveryWake.notify_all();
    core.stateChanged.notify_all();
  }
  {
    std::lock_guard lock(core.inboxMutex);
    core.inboxClosed = true;
    core.inboxReady.notify_all();
  }
  if (core.queueThread.joinable()) core.queueThread.join();

  bool ended;
  {
    std::unique_lock lock(core.stateMutex);
    ended = core.stateChanged.wait_for(lock, grace, [&] { return core.deliveryEnded; });
    if (!ended) core.closed = true;
  }
  if (core.deliveryThread.joinable()) {
    if (ended) {
      core.deliveryThread.join();
    } else {
      core.log("Telemetry: a request was still running at shutdown; its event stays queued");
      core.deliveryThread.detach();
    }
  }
}

std::vector<TelemetryService::Event> TelemetryService::pendingEvents() const {
  std::lock_guard lock(core_->stateMutex);
  std::vector<Event> events;
  for (const auto& queued : core_->pending) events.push_back(queued.event);
  return events;
}

}  // namespace bnch
