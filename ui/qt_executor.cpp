#include "ui/qt_executor.h"

#include <QMetaObject>

namespace bnch::ui {

QtExecutor::QtExecutor() {
  // Background work is mostly waiting on child processes; a few threads are
  // enough and keep a slow probe from starving another.
  pool_.setMaxThreadCount(4);
}

QtExecutor::~QtExecutor() { pool_.waitForDone(); }

void QtExecutor::background(std::function<void()> work) { pool_.start(std::move(work)); }

void QtExecutor::main(std::function<void()> work) {
  QMetaObject::invokeMethod(&context_, std::move(work), Qt::QueuedConnection);
}

}  // namespace bnch::ui
