#pragma once

#include <QObject>
#include <QThreadPool>

#include "engine/platform/executor.h"

namespace bnch::ui {

// The application's executor: `background` work runs on the executor's own
// thread pool, `main` work is queued to the event loop of the thread that
// created the executor (the GUI thread). Create and destroy it on that thread.
// The destructor waits for background work still running; main-side work queued
// after that is dropped with the event loop, never run on a dead owner.
class QtExecutor final : public Executor {
 public:
  QtExecutor();
  ~QtExecutor() override;
  QtExecutor(const QtExecutor&) = delete;
  QtExecutor& operator=(const QtExecutor&) = delete;

  void background(std::function<void()> work) override;
  void main(std::function<void()> work) override;

 private:
  QThreadPool pool_;
  QObject context_;
};

}  // namespace bnch::ui
