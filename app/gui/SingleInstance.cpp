#include "app/gui/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace tambrel {

namespace {

constexpr int kWaitMs = 500;
const QByteArray kRaise = QByteArrayLiteral("raise\n");
const QByteArray kLibrary = QByteArrayLiteral("library ");

// Asks a running program to come to the front, naming the library folder wanted; true when it
// answered the call.
bool AskToRaise(const QString& name, const QString& library)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kWaitMs)) {
        return false;
    }
    socket.write(kRaise);
    if (!library.isEmpty()) {
        socket.write(kLibrary + library.toUtf8() + '\n');
    }
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
            // The request is whole once the caller hangs up; a caller that never does is cut
            // off by the server's close.
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, this, [socket, request] {
                if (request->size() < 64 * 1024) {
                    request->append(socket->readAll());
                }
            });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket, request] {
                request->append(socket->readAll());
                socket->deleteLater();
                Answer(*request);
            });
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

SingleInstance::Outcome SingleInstance::Claim(const QString& library)
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
        if (AskToRaise(m_socketName, library)) {
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

void SingleInstance::Answer(const QByteArray& request)
{
    if (!request.startsWith(kRaise)) {
        return;
    }
    Raise();
    const QByteArray rest = request.mid(kRaise.size());
    if (rest.startsWith(kLibrary) && rest.endsWith('\n')) {
        emit libraryRequested(QString::fromUtf8(rest.mid(kLibrary.size()).chopped(1)));
    }
}

QString SingleInstance::OtherLibraryText(const QString& open, const QString& asked)
{
    const auto same = [](const QString& a, const QString& b) {
        const QString canonicalA = QFileInfo(a).canonicalFilePath();
        return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath()) ||
               (!canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath());
    };
    if (asked.isEmpty() || same(open, asked)) {
        return {};
    }
    return QStringLiteral("Tambrel is already running with the method libraries in\r\r%1\r\r"
                          "so those in\r\r%2\r\rwere not opened. To use them, exit Tambrel and "
                          "start it again with that folder.")
        .arg(QDir::toNativeSeparators(open), QDir::toNativeSeparators(asked));
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
