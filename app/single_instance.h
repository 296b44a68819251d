#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QPointer>
#include <memory>

class QWindow;

namespace bnch {

// One window per user. The first launch holds a lock and listens; a second
// launch finds the lock, asks the first to bring its window forward and ends
// (otherwise it would report the first one's run as unclean and race it over
// the same files). A lock left by a crashed launch is taken over.
class SingleInstance {
 public:
  SingleInstance();
  // False in a second launch, which has already asked the first to show itself.
  bool isFirst() const { return isFirst_; }
  // The window a later launch brings forward.
  void raiseOnLaterLaunch(QWindow* window);

 private:
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
  QPointer<QWindow> window_;
  bool isFirst_ = false;
};

}  // namespace bnch
