#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace bnch {

// Why a stream ended, as told to its termination handler.
enum class StreamTermination { finished, canceled };

// A thread-safe, unbounded channel of events from one producer to one consumer.
//
// The producer holds a Continuation: it yields events and finally finishes the
// stream. The consumer holds the EventStream: it takes events in the order they
// were yielded with next() (or a range-for loop) and may cancel(), which tells
// the producer to stop. Destroying the EventStream cancels it, so a consumer
// that stops listening always stops the work behind the stream.
//
// The termination handler (Continuation::onTermination) runs exactly once:
// when the producer finishes, or when the consumer cancels, whichever is first.
// It runs on the thread that finished or canceled, outside the stream's lock.
//
// All members may be called from any thread.
template <class T>
class EventStream {
  struct State {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<T> buffer;
    bool finished = false;
    bool canceled = false;
    bool terminated = false;  // the termination handler has been claimed
    std::function<void(StreamTermination)> onTermination;
  };

  // Marks the stream terminated and returns the handler to run (outside the lock), if any.
  static std::function<void(StreamTermination)> claimTermination(State& state) {
    if (state.terminated) return {};
    state.terminated = true;
    return std::exchange(state.onTermination, {});
  }

 public:
  class Continuation {
   public:
    // Appends an event. Returns false, dropping the event, once the consumer has
    // canceled or the stream has finished.
    bool yield(T value) const {
      {
        std::lock_guard lock(state_->mutex);
        if (state_->canceled || state_->finished) return false;
        state_->buffer.push_back(std::move(value));
      }
      state_->ready.notify_all();
      return true;
    }

    // Ends the stream. The consumer still receives what is buffered, then the end.
    void finish() const {
      std::function<void(StreamTermination)> handler;
      {
        std::lock_guard lock(state_->mutex);
        if (state_->finished || state_->canceled) return;
        state_->finished = true;
        handler = claimTermination(*state_);
      }
      state_->ready.notify_all();
      if (handler) handler(StreamTermination::finished);
    }

    // Installs the handler run once when the stream finishes or is canceled.
    // If that has already happened, the handler runs at once on this thread.
    void onTermination(std::function<void(StreamTermination)> handler) const {
      std::optional<StreamTermination> already;
      {
        std::lock_guard lock(state_->mutex);
        if (!state_->terminated) {
          state_->onTermination = std::move(handler);
          return;
        }
        already = state_->canceled ? StreamTermination::canceled : StreamTermination::finished;
      }
      if (handler) handler(*already);
    }

    // True once the consumer has canceled (or dropped) the stream.
    bool isCanceled() const {
      std::lock_guard lock(state_->mutex);
      return state_->canceled;
    }

   private:
    friend class EventStream;
    explicit Continuation(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
  };

  // Creates a connected stream and continuation.
  static std::pair<EventStream, Continuation> make() {
    auto state = std::make_shared<State>();
    return {EventStream(state), Continuation(state)};
  }

  // A stream that yields the given events and then ends (handy for tests and adapters).
  static EventStream of(std::vector<T> events) {
    auto [stream, continuation] = make();
    for (auto& event : events) continuation.yield(std::move(event));
    continuation.finish();
    return std::move(stream);
  }

  EventStream(const EventStream&) = delete;
  EventStream& operator=(const EventStream&) = delete;
  EventStream(EventStream&& other) noexcept : state_(std::move(other.state_)) {}
  EventStream& operator=(EventStream&& other) noexcept {
    if (this != &other) {
      cancel();
      state_ = std::move(other.state_);
    }
    return *this;
  }
  ~EventStream() { cancel(); }

  // Blocks until the next event, or returns nothing once the stream has ended
  // (finished and drained) or been canceled.
  std::optional<T> next() {
    if (!state_) return std::nullopt;
    std::unique_lock lock(state_->mutex);
    state_->ready.wait(lock, [&] { return !state_->buffer.empty() || state_->finished || state_->canceled; });
    if (state_->canceled || state_->buffer.empty()) return std::nullopt;
    T value = std::move(state_->buffer.front());
    state_->buffer.pop_front();
    return value;
  }

  // Stops listening: buffered events are dropped, next() returns nothing, the
  // producer's yields fail and its termination handler runs (once).
  void cancel() {
    if (!state_) return;
    std::function<void(StreamTermination)> handler;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->canceled) return;
      state_->buffer.clear();
      if (!state_->finished) state_->canceled = true;
      handler = claimTermination(*state_);
    }
    state_->ready.notify_all();
    if (handler) handler(StreamTermination::canceled);
  }

  // Takes every remaining event until the end of the stream.
  std::vector<T> collect() {
    std::vector<T> events;
    while (auto event = next()) events.push_back(std::move(*event));
    return events;
  }

  // Input iteration: `for (auto& event : stream)`.
  class iterator {
   public:
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    iterator() = default;
    explicit iterator(EventStream* stream) : stream_(stream) { ++*this; }
    T& operator*() { return *current_; }
    iterator& operator++() {
      current_ = stream_->next();
      if (!current_) stream_ = nullptr;
      return *this;
    }
    bool operator==(const iterator& other) const { return stream_ == other.stream_; }

   private:
    EventStream* stream_ = nullptr;
    std::optional<T> current_;
  };
  iterator begin() { return iterator(this); }
  iterator end() { return iterator(); }

 private:
  explicit EventStream(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

}  // namespace bnch
