#include "app/second_start.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

#include "engine/data_folder_claim.h"

namespace vidoria {

namespace {

constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "raised\n";
// A client that sends more than this without a line end is no second start of ours.
constexpr qint64 kLongestRequest = 64;

}  // namespace

QString RaiseSocketPath(const std::string& dataFolder) {
  const QString folder = QString::fromStdString(dataFolder);
  QString real = QFileInfo(folder).canonicalFilePath();
  if (real.isEmpty()) real = folder;
  const QByteArray hash =
      QCryptographicHash::hash(real.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) runtime = QDir::tempPath();
  return runtime + QStringLiteral("/vidoria-") + QString::fromLatin1(hash);
}

RaiseListener::RaiseListener(const std::string& dataFolder, QWidget* window, QObject* parent)
    : QObject(parent), window_(window) {
  const QString path = RaiseSocketPath(dataFolder);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(path);
  connect(&server_, &QLocalServer::newConnection, this, &RaiseListener::Accept);
  // A socket that cannot be made only costs the raising: second starts then show the box.
  server_.listen(path);
}

void RaiseListener::Accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    Read(socket);  // what arrived with the connection
  }
}

void RaiseListener::Read(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() > kLongestRequest) socket->abort();
    return;
  }
  if (socket->readLine(kLongestRequest + 1) == kRequest) {
    Raise();
    socket->write(kAnswer);
    socket->flush();
  }
  socket->disconnectFromServer();
}

void RaiseListener::Raise() {
  if (window_ != nullptr && window_->isVisible()) {
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->raise();
    window_->activateWindow();
  }
  // A box the window waits on belongs in front of it.
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->raise();
    modal->activateWindow();
  }
  emit Raised();
}

bool AskRunningWindowToRaise(const std::string& dataFolder, int waitMs) {
  QLocalSocket socket;
  socket.connectToServer(RaiseSocketPath(dataFolder));
  if (!socket.waitForConnected(waitMs)) return false;
  socket.write(kRequest);
  if (!socket.waitForBytesWritten(waitMs)) return false;
  while (!socket.canReadLine()) {
    if (socket.bytesAvailable() > kLongestRequest || !socket.waitForReadyRead(waitMs)) {
      return false;
    }
  }
  return socket.readLine() == kAnswer;
}

int RefuseSecondStart(const std::string& dataFolder, Dialogs& dialogs) {
  if (!AskRunningWindowToRaise(dataFolder)) {
    dialogs.ShowMessage(QString::fromUtf8(kAlreadyRunning.data(), kAlreadyRunning.size()));
  }
  return 0;
}

}  // namespace vidoria
