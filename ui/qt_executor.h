#pragma once

#include <QObject>
#include <QThreadPool>
#include <memory>

#include "engine/platform/executor.h"

namespace bnch::ui {

// The application's executor: `background` work runs on the executor's own
// thread pool, `main` work is queued to the event loop of the thread that
// created the executor (the GUI thread). The destructor waits for background
// work still running; main-side work queued after that is dropped, never run.
// Background work may hold the executor (models capture it to hand results
// back): when such work drops the last reference, the destructor runs on the
// pool's own thread, cannot wait for itself, and leaves the pool to finish.
class QtExecutor final : public Executor {
 public:
  QtExecutor();
  ~QtExecutor() override;
  QtExecutor(const QtExecutor&) = delete;
  QtExecutor& operator=(const QtExecutor&) = delete;

  void background(std::function<void()> work) override;
  void main(std::function<void()> work) override;

 private:
  std::unique_ptr<QThreadPool> pool_;
  std::unique_ptr<QObject> context_;
};

}  // namespace bnch::ui
