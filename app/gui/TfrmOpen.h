#pragma once

#include "library/MethodBrowser.h"

#include <QDialog>

#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace tambrel {

class HelpSystem;
class MessageBoxes;
class MethodListModel;
class TBellCard;
class TBellOptions;
class TfrmDataMod;

// The open-method browser: the methods of one bell count or of all (and lead-head group) of the
// main, personal or method-find library, by name or by notation, positioned by a search text as it
// is typed and narrowed, when asked, to the names holding some words and to one class; opens the
// chosen method on the current page or deletes it.
class TfrmOpen : public QDialog {
    Q_OBJECT
public:
    TfrmOpen(TfrmDataMod& dataModule, MessageBoxes& messages, HelpSystem& help,
             QWidget* parent = nullptr);
    ~TfrmOpen() override;

    // Takes the page to open onto, the global options (Bells, SaveOpenPos) and the flag that
    // makes this showing forget the saved position; then activates the dialog.
    void Prepare(TBellCard& card, TBellOptions& global, bool& resetOpenPosition);

    void butOKClick();     // checks the notation, then opens the method and closes
    void butDeleteClick(); // asks, then deletes the selected method

    // Lets the table go (its restriction first), as closing the dialog does; for a caller
    // whose dialog ended without closing.
    void FormClose();

    // The method last selected, or kNoSavedRecNo.
    std::int64_t SavedRecNo() const { return m_savedRecNo; }
    // The selected record's number, 0 when none is selected.
    std::uint32_t SelectedRecNo() const;

    QGroupBox* rgpLibrary = nullptr;
    QButtonGroup* libraryButtons = nullptr; // ids 0..2: Main, Personal, Method Find
    QComboBox* cboBells = nullptr;
    QComboBox* cboGroup = nullptr;
    QComboBox* cboClass = nullptr; // "All", then the classes of the library's stage
    QGroupBox* rgpFindBy = nullptr;
    QButtonGroup* findByButtons = nullptr; // ids 0, 1: Name, Places
    QLineEdit* edtFind = nullptr;
    QLineEdit* edtFilter = nullptr; // words that every listed name must hold
    QCheckBox* chkSavePos = nullptr;
    QTableView* tzgMethods = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* lblEmpty = nullptr; // over the list while it is empty
    QLineEdit* dbeInfo = nullptr;
    QLineEdit* dbeGroupInfo = nullptr;
    QPushButton* butOK = nullptr;
    QPushButton* butDelete = nullptr;
    QPushButton* butCancel = nullptr;
    QPushButton* butHelp = nullptr;

public slots:
    void done(int result) override;

private:
    void FormActivate();
    void RebuildGroups();
    // Fills the class list for the chosen library and stage, keeping the chosen class while it
    // is offered; reads the table, so the list is refreshed afterwards.
    void RebuildClasses();
    BrowserChoice Choice() const;
    // Refreshes the list, positioned by `mode`; `comeBack` returns to the saved record
    // whether or not Save Position is ticked, as after a deletion.
    void Refresh(RefreshMode mode, bool comeBack = false);
    // The list of the range, filtered, with the positioned record selected; `fromTop` (a filter
    // just typed, a class just chosen) selects the first method shown instead.
    void ShowRows(bool fromTop = false);
    void RowChosen(int row);
    void ShowInfo(int row);
    int SelectedRow() const;

    TfrmDataMod& m_data;
    MessageBoxes& m_messages;
    HelpSystem& m_help;
    MethodListModel* m_model = nullptr;
    TBellCard* m_card = nullptr;
    TBellOptions* m_global = nullptr;
    std::int64_t m_savedRecNo = kNoSavedRecNo; // kept between showings
    bool m_allStages = false;                  // a method was last opened from "All"
    BrowserRange m_range;
    ClassCache m_classes;     // kept while the dialog lives, so each method is classified once
    std::string m_problem;    // the last refusal shown, so typing does not repeat it
    bool m_selecting = false; // the selection is being set from the cursor, not by the user
};

} // namespace tambrel
