#include "engine/platform/process_running.h"

namespace bnch {

void LiveProcessCancellation::attach(std::shared_ptr<RunningProcess> process) {
  std::lock_guard guard(lock_);
  if (canceled_ && process && process->isRunning()) process->terminate();
  process_ = std::move(process);
}

void LiveProcessCancellation::cancel() {
  std::lock_guard guard(lock_);
  canceled_ = true;
  if (process_ && process_->isRunning()) process_->terminate();
}

bool LiveProcessCancellation::isCanceled() const {
  std::lock_guard guard(lock_);
  return canceled_;
}

void CancellableProcess::setCurrent(std::shared_ptr<ProcessCancellation> handle) {
  bool cancelNow = false;
  {
    std::lock_guard guard(lock_);
    current_ = handle;
    cancelNow = canceled_;
  }
  // A cancel that came before this handle was registered applies to it at once.
  if (cancelNow && handle) handle->cancel();
}

void CancellableProcess::cancel() {
  std::shared_ptr<ProcessCancellation> current;
  {
    std::lock_guard guard(lock_);
    canceled_ = true;
    current = current_;
  }
  if (current) current->cancel();
}

bool CancellableProcess::isCanceled() const {
  std::lock_guard guard(lock_);
  return canceled_;
}

}  // namespace bnch
