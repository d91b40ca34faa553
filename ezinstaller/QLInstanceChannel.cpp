#include "ezinstaller/QLInstanceChannel.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>

#include "platform/Log.h"

namespace tarnix::ezinstaller {
namespace {

// A batch is a few paths; anything larger is not a batch.
constexpr qint64 kMaximumBatchBytes = 4 * 1024 * 1024;
constexpr char kReceipt = 'K';

}  // namespace

QString QLInstanceChannel::socketPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder + QStringLiteral("/local.quillon.tarnix.ezinstaller.socket");
}

bool QLInstanceChannel::forward(const QStringList& paths, int timeoutMs) {
  QByteArray body;
  {
    QDataStream out(&body, QIODevice::WriteOnly);
    out << paths;
  }
  QByteArray frame;
  {
    QDataStream out(&frame, QIODevice::WriteOnly);
    out << static_cast<quint32>(body.size());
  }
  frame += body;
  // The running installer takes its lock before it listens: give it a moment.
  const QDeadlineTimer deadline(timeoutMs);
  while (!deadline.hasExpired()) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
      QThread::msleep(100);
      continue;
    }
    socket.write(frame);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
    }
    if (socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))) &&
        socket.read(1) == QByteArray(1, kReceipt))
      return true;
    break;
  }
  platform::diagnostic("QLInstanceChannel::forward()", "The running EZ installer did not take the files.");
  return false;
}

QLInstanceChannel::QLInstanceChannel(QObject* parent) : QObject(parent) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &QLInstanceChannel::accept);
}

bool QLInstanceChannel::listen() {
  // Only the lock holder listens, so a socket file that is there was left by an ended run.
  QLocalServer::removeServer(socketPath());
  if (server_.listen(socketPath())) return true;
  platform::diagnostic("QLInstanceChannel::listen()", "Unable to listen: " + server_.errorString().toStdString());
  return false;
}

void QLInstanceChannel::accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->bytesAvailable() < 4) return;
      quint32 length = 0;
      {
        QDataStream in(socket->peek(4));
        in >> length;
      }
      if (length > kMaximumBatchBytes) {
        platform::diagnostic("QLInstanceChannel::accept()", "Refused an oversized batch.");
        socket->abort();
        return;
      }
      if (socket->bytesAvailable() < 4 + static_cast<qint64>(length)) return;
      socket->read(4);
      QStringList paths;
      QDataStream stream(socket->read(length));
      stream >> paths;
      if (stream.status() != QDataStream::Ok) {
        platform::diagnostic("QLInstanceChannel::accept()", "Refused a malformed batch.");
        socket->abort();
        return;
      }
      socket->write(QByteArray(1, kReceipt));
      socket->flush();
      socket->disconnectFromServer();
      emit didReceiveFiles(paths);
    });
  }
}

}  // namespace tarnix::ezinstaller
