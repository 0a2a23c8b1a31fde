#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tambrel {

class HelpSystem;
class MessageBoxes;
class TBellCard;
class TBellOptions;

inline const QString kMsgNoName = QStringLiteral("No Method Name Entered.");

// The method entry dialog: number of bells, name and place notation of a new method or of the
// one on the current page.
class TfrmEdit : public QDialog {
    Q_OBJECT
public:
    TfrmEdit(MessageBoxes& messages, HelpSystem& help, QWidget* parent = nullptr);

    // Takes the page and the global options the dialog writes to, and fills the controls from
    // the page's method.
    void Prepare(TBellCard& card, TBellOptions& global);

    // OK: checks the name, then the notation; on success writes the method and closes.
    void butOKClick();

    QComboBox* cboBells = nullptr;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtPlaces = nullptr;
    QToolButton* butCopyName = nullptr;
    QToolButton* butCopyPlaces = nullptr;
    QPushButton* butOK = nullptr;
    QPushButton* butCancel = nullptr;
    QPushButton* butHelp = nullptr;
    // The Central Council's class and title of what is typed, kept up to date as it is typed.
    QLabel* lblClass = nullptr;

private:
    void FormActivate();
    void ShowClass();

    MessageBoxes& m_messages;
    HelpSystem& m_help;
    TBellCard* m_card = nullptr;
    TBellOptions* m_global = nullptr;
    std::string m_shownPlaces; // the notation as the box was given it
};

} // namespace tambrel
