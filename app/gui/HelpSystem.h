#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <filesystem>

class QTextBrowser;
class QWidget;

namespace tambrel {

class MessageBoxes;

inline const QString kMsgHelpMissing = QStringLiteral(
    "No online help is available because the\rTambrel Help File (Tambrel3.chm) is missing.");

// The program's help: HTML pages in "help" beside the program (or the installed
// ../share/tambrel/help), shown in a help window of its own. Commands as the dialogs give them:
// "OPEN" finds the pages, "SHOW" shows a topic (the contents page without one), "CLOSE" hides
// the help window.
class HelpSystem {
public:
    HelpSystem(MessageBoxes& messages, std::filesystem::path programFolder);
    ~HelpSystem();
    HelpSystem(const HelpSystem&) = delete;
    HelpSystem& operator=(const HelpSystem&) = delete;

    void Command(const QString& command, const QString& topic = {}, QWidget* parent = nullptr);

    // The contents page, or empty when none was found.
    const QString& HelpFile() const { return m_contents; }
    QTextBrowser* Browser() const; // the window's browser once shown, for tests
    bool Visible() const;

    static constexpr const char* kContents = "index.htm";

private:
    void Open();
    void Show(const QString& topic, QWidget* parent);
    void Close();

    MessageBoxes& m_messages;
    std::filesystem::path m_programFolder;
    QString m_contents;
    QPointer<QWidget> m_window;
};

// F1 in a dialog presses its Help button ("butHelp"), whose page is the dialog's own; elsewhere
// F1 is left to the window. Installed once on the application.
class DialogHelpKey : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tambrel
