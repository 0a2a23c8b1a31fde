// The desktop program: the single-program guard first, then the data module (which opens the
// calls and options tables), the main window with its dialogs, and the message loop.
#include "app/gui/HelpSystem.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/SingleInstance.h"
#include "app/gui/TfrmMain.h"
#include "library/TfrmDataMod.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <filesystem>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tambrel"));
    // Settings live in ~/.config/tambrel/, beside the library folder's lower-case name.
    QApplication::setOrganizationName(QStringLiteral("tambrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tambrel 3.3"));
    QApplication::setApplicationVersion(QStringLiteral("3.3b"));
    // Lets Wayland compositors and docks match the window to tambrel.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tambrel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tambrel: methods for change ringers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption library(QStringLiteral("library"),
                                     QStringLiteral("The library folder to use."),
                                     QStringLiteral("DIR"));
    parser.addOption(library);
    parser.process(application);

    const std::filesystem::path program =
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    std::error_code ec;
    const std::filesystem::path asked =
        parser.isSet(library) ? std::filesystem::path(parser.value(library).toStdString())
                              : tambrel::DefaultLibraryFolder(program);
    const std::filesystem::path absolute = std::filesystem::absolute(asked, ec);
    const std::filesystem::path folder = ec ? asked : absolute;
    const QString folderText = QString::fromStdString(folder.string());

    tambrel::MessageBoxes messages;
    tambrel::SingleInstance guard;
    switch (guard.Claim(folderText)) {
    case tambrel::SingleInstance::Outcome::AlreadyRuns:
        return 0; // the running Tambrel has come to the front
    case tambrel::SingleInstance::Outcome::Unguarded:
        messages.Show(nullptr, tambrel::BoxKind::Warning, guard.Problem());
        break;
    case tambrel::SingleInstance::Outcome::First:
        break;
    }

    tambrel::TfrmDataMod data(folder, tambrel::BundledDataFolder(program));
    if (const tambrel::Status created = data.frmDataModCreate(); !created) {
        messages.Show(nullptr, tambrel::BoxKind::Warning,
                      QStringLiteral("The method libraries could not be opened:\r\r") +
                          QString::fromStdString(created.error));
    }

    tambrel::HelpSystem help(messages, program);
    tambrel::TfrmMain window(data, help, messages);
    guard.SetWindow(&window);
    // A later start that asked for other libraries is told, here, which ones are open.
    QObject::connect(
        &guard, &tambrel::SingleInstance::libraryRequested, &window, [&](const QString& other) {
            const QString text = tambrel::SingleInstance::OtherLibraryText(folderText, other);
            if (!text.isEmpty()) {
                messages.Show(&window, tambrel::BoxKind::Information, text);
            }
        });
    window.show();
    return QApplication::exec();
}
