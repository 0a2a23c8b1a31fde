#include "app/gui/SingleInstance.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <sys/stat.h>
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

// The user's runtime folder when only the user owns and may enter it; empty otherwise.
QString PrivateFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    struct stat info {};
    if (folder.isEmpty() || ::stat(QFile::encodeName(folder).constData(), &info) != 0 ||
        !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

// Removes `path` when someone else owns it: nothing another user put there is trusted.
void RemoveIfNotOurs(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && info.st_uid != ::getuid()) {
        QFile::remove(path);
    }
}

} // namespace

SingleInstance::SingleInstance(QString key)
{
    if (key.isEmpty()) {
        key = QStringLiteral("tambrel-%1").arg(::getuid());
    }
    m_folder = PrivateFolder();
    m_socketName = m_folder + QLatin1Char('/') + key + QStringLiteral(".socket");
    m_lockPath = m_folder + QLatin1Char('/') + key + QStringLiteral(".lock");
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
    if (m_folder.isEmpty()) {
        m_problem = QStringLiteral("The single-program guard has no folder of this user's own "
                                   "to live in (%1); Tambrel runs without it.")
                        .arg(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
        return Outcome::Unguarded;
    }
    RemoveIfNotOurs(m_lockPath);
    RemoveIfNotOurs(m_socketName);
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
