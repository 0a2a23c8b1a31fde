#pragma once

#include "library/Import.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <string_view>

class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;

namespace tambrel {

class HelpSystem;
class MessageBoxes;

// The states of an import dialog (design tokens "SELECT", "IMPORT" and "OFF"): choosing a
// file, a file ready to import, and busy.
enum class ImportState { Select, Import, Off };

// What the methods and calls import dialogs share: the file and progress labels, the progress
// bar, the select, replace, close and help buttons, the file choice and the questions. The work
// is done by the import classes of the library folder; the dialogs only show it.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    // Asks for the import file; "" when the user cancels. Tests put in a hook that answers
    // instead of the file dialog.
    std::function<QString()> chooseFile;

    ImportState State() const { return m_state; }

    // Closes the tables and deletes the staging file; again does nothing.
    virtual void FormClose() = 0;

    // Before the dialog is shown: whether the main window closed open methods for it, which
    // the dialog then says.
    void NoteClosedMethods(bool closed);

    QLabel* lblClosed = nullptr; // why the open methods were closed
    QLabel* lblFile = nullptr;
    QLabel* lblProgress = nullptr;
    QProgressBar* prgImport = nullptr;
    QLabel* lblDetails = nullptr; // what reading the file left out or changed
    QPushButton* butSelect = nullptr;
    QPushButton* butReplace = nullptr;
    QPushButton* butDetails = nullptr;
    QPushButton* butClose = nullptr;
    QPushButton* butHelp = nullptr;

    // "&Details...": the lines the file's reading left out or changed, the first 20 of them.
    void butDetailsClick();

protected:
    ImportDialog(MessageBoxes& messages, HelpSystem& help, const QString& helpTopic,
                 QWidget* parent);

    static QString Q(std::string_view text);

    virtual void SetState(ImportState state);
    void ShowProgress(const QString& text); // the progress label, painted at once
    // The file the user chooses from those `filter` offers; "" when cancelled.
    QString ChooseFile(const QString& title, const QString& filter);
    // "&Select the Import File": the file chosen, read by `read` into the staging table; the
    // labels and state follow, a rejected file says so. False when nothing was accepted.
    bool SelectFile(const QString& filter, bool methods,
                    const std::function<Status(const std::string& file)>& read,
                    const StagedFile& staged);
    // "Replace ...?" with what the library holds and what the file gives it; a file with nothing
    // to give is not asked about, its import refuses it.
    bool ConfirmReplace(bool methods, std::size_t held, std::size_t given,
                        const StagedFile& staged);
    void ClearDetails(); // no file read yet, nothing to tell of it
    // The column of labels beside the buttons, the same in both dialogs.
    QLayout* LabelColumn();
    // The progress label, bar and questions of an import, as this dialog shows them.
    ImportFeedback Feedback();
    void done(int result) override;

    MessageBoxes& m_messages;
    HelpSystem& m_help;

private:
    ImportState m_state = ImportState::Select;
    std::optional<StagedDetails> m_details;
    QString m_fileName;
};

} // namespace tambrel
