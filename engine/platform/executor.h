#pragma once

#include <functional>

namespace bnch {

// Where a model does its waiting. `background` runs blocking work off the main
// thread; `main` hands a result back to the thread that owns the model. Tests use
// InlineExecutor, which runs both at once on the caller's thread, so a whole flow
// is deterministic; the application supplies one bound to its event loop.
class Executor {
 public:
  virtual ~Executor() = default;
  virtual void background(std::function<void()> work) = 0;
  virtual void main(std::function<void()> work) = 0;
};

class InlineExecutor final : public Executor {
 public:
  void background(std::function<void()> work) override { work(); }
  void main(std::function<void()> work) override { work(); }
};

}  // namespace bnch
