#include "app/quit_on_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace vidoria {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT};

// Written by the handler, which may do nothing but async-signal-safe calls.
volatile sig_atomic_t writeFd = -1;
struct sigaction previous[2];

void OnSignal(int number) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  // A full pipe already holds a wake-up; losing this byte loses nothing.
  [[maybe_unused]] const ssize_t written = ::write(writeFd, &byte, 1);
  errno = savedErrno;
}

// Dismisses the innermost modal widget first. A dialog is rejected (its exec() returns
// Rejected); any other modal widget is closed. A widget that refuses to go (ignores its close
// event) is left alone rather than tried forever.
void DismissModals() {
  QWidget* refused = nullptr;
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (modal == refused) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    if (QApplication::activeModalWidget() == modal) refused = modal;
  }
}

}  // namespace

QuitOnSignal::QuitOnSignal(QWidget* window, QObject* parent) : QObject(parent), window_(window) {
  if (writeFd != -1) throw std::logic_error("QuitOnSignal: one instance at a time");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::runtime_error(std::string("QuitOnSignal: pipe: ") + std::strerror(errno));
  }
  readFd_ = fds[0];
  writeFd = fds[1];
  notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitOnSignal::ReadSignals);

  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

QuitOnSignal::~QuitOnSignal() {
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  const int fd = writeFd;
  writeFd = -1;
  ::close(fd);
  delete notifier_;
  ::close(readFd_);
}

void QuitOnSignal::ReadSignals() {
  unsigned char numbers[16];
  const ssize_t count = ::read(readFd_, numbers, sizeof numbers);
  if (count <= 0) return;
  DismissModals();
  if (window_ != nullptr) window_->close();
  emit Handled(numbers[count - 1]);
}

}  // namespace vidoria
