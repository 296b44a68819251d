#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform/uuid.h"
#include "engine/telemetry/telemetry_configuration.h"
#include "engine/telemetry/telemetry_event.h"
#include "engine/telemetry/usage_event_tracking.h"

namespace bnch {

// Sends anonymous usage events to the telemetry endpoint, one POST per event,
// in the order they were tracked.
//
// Queue and file. `track` stamps the event (session, time, version) and hands
// it to the service's queue worker, which appends it to the in-memory queue and
// rewrites the pending file at once (atomically), so an event survives the
// process ending right after `track` returns. Events that arrive together are
// written together. The queue keeps at most the newest `maxPendingEvents`
// events; older ones are dropped and the drop is logged. The pending file is
// rewritten after every delivered event and after every failed flush, and
// removed once the queue is empty. At creation the worker first loads the
// pending file of earlier launches; those events go before any tracked since.
// A file that cannot be read or is not a JSON list is logged and left alone
// (the next write replaces it); a list entry that is not an event is skipped.
// The file is read before the queue's lock is taken, never through a symbolic
// link (a link there is logged and left alone, and nothing is written through
// it), and is written with permissions 600.
//
// Privacy. Every text of an event's data passes through redactedText() with the
// configuration's private values and the values remembered since, before the
// event is queued.
//
// Delivery. At most one delivery loop runs, on the service's delivery thread;
// it sends the first event until the queue is empty. A 2xx answer delivers the
// event; a 4xx answer drops it (logged), except 408 and 429, which only say
// "not now"; anything else (those two, 5xx, a transport error, a time-out) is
// tried again after 0.5 s and 1 s, and after the third try the loop stops with
// the event still first. The next `track`, or the next launch,
// starts a new loop. Each event is stamped at send time with this launch's run.
// Without an endpoint and a key nothing is ever sent (logged once at creation).
//
// Threads. `track` may be called from any thread and never blocks on I/O or
// the network; all queue state is touched one operation at a time. Nothing the
// service does throws to a caller; every failure ends in a log line
// ("Telemetry: ...").
class TelemetryService final : public UsageEventTracking {
 public:
  using Configuration = TelemetryConfiguration;
  using Event = TelemetryEvent;

  // Reads the session identity from the configuration's store, makes a fresh
  // run identifier and the HTTP session, and starts the two worker threads
  // (the first thing the queue worker does is load the pending file).
  explicit TelemetryService(Configuration configuration);
  // Shuts down (see `shutdown`) with a grace of two seconds.
  ~TelemetryService() override;
  TelemetryService(const TelemetryService&) = delete;
  TelemetryService& operator=(const TelemetryService&) = delete;

  // Queues the event and returns at once. Does nothing when telemetry is
  // disabled or after shutdown.
  void track(const std::string& eventName, JSONObject data) override;

  // A value the person typed in this run (an API key, the Git e-mail): from now
  // on it is replaced by "<redacted>" in every event. Any thread.
  void rememberTypedValue(const std::string& value) override;

  const UUID& sessionID() const;
  const UUID& runID() const;
  // The run identifier in lower case, as handed to the run lifecycle.
  std::string runIDString() const;

  // Blocks until every event tracked before the call has been queued and
  // written, the pending file is loaded, and no delivery loop runs (or until the
  // time-out). True when idle was reached. For tests and benchmarks.
  bool waitUntilIdle(std::chrono::milliseconds timeout = std::chrono::seconds(60));

  // Blocks until every event tracked before the call is in the queue and the
  // pending file has been written (or the write failed and was logged), or
  // until the time-out; does not wait for delivery. True when written. Call it
  // before the process exits so that the last events (such as "app_quit") are
  // on disk for the next launch.
  bool waitUntilWritten(std::chrono::milliseconds timeout);

  // Stops the service: events already tracked are queued and written, a back-off
  // wait is cut short, no new delivery starts, and later `track` calls are
  // ignored. Waits at most `grace` for a request in flight; if it has not ended
  // by then, the delivery thread is left to finish on its own and touches
  // nothing afterwards (its event stays in the pending file). Idempotent.
  void shutdown(std::chrono::milliseconds grace = std::chrono::seconds(2));

  // A copy of the queue, oldest first. For tests.
  std::vector<Event> pendingEvents() const;

  // The internal state, shared with the worker threads.
  struct Core;

 private:
  std::shared_ptr<Core> core_;
};

}  // namespace bnch
