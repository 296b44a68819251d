#include "app/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWindow>

namespace bnch {

namespace {
QString serverName() { return QStringLiteral("benchkit-python-%1").arg(qEnvironmentVariable("USER")); }
}  // namespace

SingleInstance::SingleInstance()
    : lock_(std::make_unique<QLockFile>(
          QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath("benchkit-python.lock"))) {
  lock_->setStaleLockTime(0);
  isFirst_ = lock_->tryLock();
  if (!isFirst_) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (socket.waitForConnected(1000)) {
      socket.write("show\n");
      socket.waitForBytesWritten(1000);
    }
    return;
  }
  QLocalServer::removeServer(serverName());  // a socket left by a crashed launch
  server_.listen(serverName());
  QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      socket->deleteLater();
      if (!window_) continue;
      window_->show();
      window_->raise();
      window_->requestActivate();
    }
  });
}

void SingleInstance::raiseOnLaterLaunch(QWindow* window) { window_ = window; }

}  // namespace bnch
