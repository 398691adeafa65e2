#include "app/qt_main_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <exception>

namespace vidoria {

bool QtMainThread::IsMainThread() const {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void QtMainThread::RunAndWait(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;  // the program is ending: there is no main thread to run it
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      app,
      [&] {
        try {
          fn();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vidoria
