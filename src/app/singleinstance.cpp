#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <algorithm>

#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace qn {
namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShownReply = "shown\n";

// Beside the lock, in the user's own runtime folder; Windows names a pipe instead, made
// unique to the user (and to the lock folder) by the lock's path.
QString serverNameFor(const QString &lockFilePath)
{
#if defined(Q_OS_WIN)
    const QByteArray hash = QCryptographicHash::hash(lockFilePath.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("QN-VIEW-") + QString::fromLatin1(hash.left(24));
#else
    return QFileInfo(lockFilePath).absolutePath() + QStringLiteral("/QN-VIEW.socket");
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString &lockDirectory, QObject *parent)
    : QObject(parent), m_lock(lockDirectory), m_serverName(serverNameFor(m_lock.lockFilePath()))
{
    if (!isFirst())
        return;
    // The lock is ours, so a socket left by a copy that crashed is nobody's.
    QLocalServer::removeServer(m_serverName);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::answerNextStart);
    // Without the listener a later start still ends; it only cannot bring this one forward.
    m_server->listen(m_serverName);
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::answerNextStart()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == kShowRequest) {
                emit showRequested();
                socket->write(kShownReply);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::askRunningCopyToShow(int connectTimeoutMs, int answerTimeoutMs) const
{
    QLocalSocket socket;
    // The running copy listens a moment after it takes the lock: try until it does (a
    // missing socket fails at once, hence the pause between tries).
    const QDeadlineTimer connectDeadline(connectTimeoutMs);
    for (;;) {
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(int(std::max<qint64>(connectDeadline.remainingTime(), 0))))
            break;
        if (connectDeadline.hasExpired())
            return false;
        socket.abort();
        QThread::msleep(50);
    }
#if defined(Q_OS_WIN)
    // Windows lets only the process the operator just started take the foreground; this
    // one hands that right on, or the running copy could only flash its taskbar button.
    AllowSetForegroundWindow(ASFW_ANY);
#endif
    // It answers once its window is in front; a copy busy connecting to a unit takes a while.
    const QDeadlineTimer deadline(answerTimeoutMs);
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.readLine() == kShownReply;
}

} // namespace qn
