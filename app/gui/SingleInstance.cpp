#include "app/gui/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace tambrel {

namespace {

constexpr int kWaitMs = 500;
const QByteArray kRaise = QByteArrayLiteral("raise\n");

// Asks a running program to come to the front; true when it answered the call.
bool AskToRaise(const QString& name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kWaitMs)) {
        return false;
    }
    socket.write(kRaise);
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return true;
}

} // namespace

SingleInstance::SingleInstance(QString key)
{
    if (key.isEmpty()) {
        key = QStringLiteral("tambrel-%1").arg(::getuid());
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder =
        !runtime.isEmpty() && QDir(runtime).exists() ? runtime : QDir::tempPath();
    m_socketName = folder + QLatin1Char('/') + key + QStringLiteral(".socket");
    m_lockPath = folder + QLatin1Char('/') + key + QStringLiteral(".lock");
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("raise")) {
                    Raise();
                }
                socket->deleteLater();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance()
{
    m_server.close();
    if (m_lock) {
        m_lock->unlock();
    }
}

SingleInstance::Outcome SingleInstance::Claim()
{
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0); // only a dead owner makes a lock stale, however old it is
    QElapsedTimer waited;
    waited.start();
    while (true) {
        if (m_lock->tryLock(0)) {
            break;
        }
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_problem = QStringLiteral("The single-program guard could not be set up (%1); "
                                       "Tambrel runs without it.")
                            .arg(m_lockPath);
            return Outcome::Unguarded;
        }
        if (AskToRaise(m_socketName)) {
            return Outcome::AlreadyRuns;
        }
        // The owner is starting up and not listening yet; give it a moment.
        if (waited.elapsed() > 3 * kWaitMs) {
            m_problem = QStringLiteral("Another Tambrel seems to be starting but does not "
                                       "answer; this one runs as well.");
            return Outcome::Unguarded;
        }
        QThread::msleep(50);
    }
    // The lock is ours: a socket left by a crashed program goes.
    QLocalServer::removeServer(m_socketName);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_socketName)) {
        m_problem = QStringLiteral("The single-program guard could not listen (%1); Tambrel "
                                   "runs without it.")
                        .arg(m_server.errorString());
        return Outcome::Unguarded;
    }
    return Outcome::First;
}

void SingleInstance::Raise()
{
    emit raiseRequested();
    if (m_window == nullptr) {
        return;
    }
    // Restore a minimised window without undoing a maximised one.
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace tambrel
