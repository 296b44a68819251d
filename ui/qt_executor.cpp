#include "ui/qt_executor.h"

#include <QMetaObject>
#include <QThread>

namespace bnch::ui {

QtExecutor::QtExecutor() : pool_(std::make_unique<QThreadPool>()), context_(std::make_unique<QObject>()) {
  // Background work is mostly waiting on child processes; a few threads are
  // enough and keep a slow probe from starving another.
  pool_->setMaxThreadCount(4);
}

QtExecutor::~QtExecutor() {
  if (pool_->contains(QThread::currentThread())) {
    // Destroyed by its own work: the pool is left to wind down with the
    // process, and the context goes on its own thread once idle.
    (void)pool_.release();
    context_.release()->deleteLater();
    return;
  }
  pool_->waitForDone();
}

void QtExecutor::background(std::function<void()> work) { pool_->start(std::move(work)); }

void QtExecutor::main(std::function<void()> work) {
  QMetaObject::invokeMethod(context_.get(), std::move(work), Qt::QueuedConnection);
}

}  // namespace bnch::ui
