#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

namespace tambrel {

// Only one Tambrel runs for a user: a second start asks the first to come to the front and
// ends. A lock file says who runs (a lock left by a crashed program is taken over) and a local
// socket carries the request. Both live in a folder that only the user owns and can enter, so
// another user can plant neither.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` names the guard; the default is per user. Folder: the user's runtime folder
    // ($XDG_RUNTIME_DIR, else a private one Qt makes in the temporary folder), used only when
    // the user owns it and nobody else may enter it.
    explicit SingleInstance(QString key = {});
    ~SingleInstance() override;

    enum class Outcome {
        First,       // this program runs; later starts will ask it to come to the front
        AlreadyRuns, // the running program was asked to come to the front: end now
        Unguarded,   // the guard could not be set up: run anyway, with a warning
    };
    // `library`: the library folder this start would open, handed to the running program so
    // that it can say which one it has open when they differ.
    Outcome Claim(const QString& library = {});
    const QString& Problem() const { return m_problem; }
    const QString& Folder() const { return m_folder; } // empty when no safe folder was found

    // The window to bring to the front when another start asks.
    void SetWindow(QWidget* window) { m_window = window; }

    // What the running program says to a start that asked for another library folder than
    // `open`; empty when `asked` is that folder (or none).
    static QString OtherLibraryText(const QString& open, const QString& asked);

signals:
    void raiseRequested();
    void libraryRequested(const QString& folder); // after raiseRequested, when one was named

private:
    void Raise();
    void Answer(const QByteArray& request);
    QString m_folder;
    QString m_socketName;
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    QPointer<QWidget> m_window;
    QString m_problem;
};

} // namespace tambrel
