#pragma once

#include <QDialog>
#include <QString>

#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tambrel {

class HelpSystem;
class TBellCard;
class TBellOptions;
class TfrmDataMod;

// "Set Options": the current page's diagram, call and falseness options, for this method or
// also for every method entered or opened later.
class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    TfrmOptions(TfrmDataMod& dataModule, HelpSystem& help, QWidget* parent = nullptr);

    // Fills the lists for the page's method and sets every control from its options.
    void Prepare(TBellCard& card, TBellOptions& global);

    void butOkClick();      // "&This Method"
    void butDefaultClick(); // "This and &All Future Methods"

    QTabWidget* tabs = nullptr;
    QWidget* tbsDiagram = nullptr;
    QWidget* tbsCalls = nullptr;
    QWidget* tbsFCH = nullptr;
    QComboBox* cboTreble = nullptr;
    QComboBox* cboBlueLine1 = nullptr;
    QComboBox* cboBlueLine2 = nullptr;
    QCheckBox* chkShowTitle = nullptr;
    QCheckBox* chkShowGrid = nullptr;
    QCheckBox* chkShowBob = nullptr;
    QCheckBox* chkShowSingle = nullptr;
    QComboBox* cboLead2Show = nullptr;
    QComboBox* cboNumbers = nullptr;
    QComboBox* cboSize = nullptr;
    QCheckBox* chkFit2Screen = nullptr;
    QCheckBox* chkColour = nullptr;
    QCheckBox* chkGreyNumbers = nullptr;
    QCheckBox* chkContinuous = nullptr;
    QCheckBox* chkTidyPN = nullptr;
    QCheckBox* chkHandstrokes = nullptr;
    QComboBox* cboNotation = nullptr; // "Short form", "Central Council form"
    QComboBox* cboBobType = nullptr;
    QLineEdit* edtBobLines = nullptr;
    QComboBox* cboSingleType = nullptr;
    QLineEdit* edtSingleLines = nullptr;
    QCheckBox* chkOddFCH = nullptr;
    QCheckBox* chkSplitTenor = nullptr;
    QCheckBox* chkTB2Notation = nullptr;
    QPushButton* butOk = nullptr;
    QPushButton* butDefault = nullptr;
    QPushButton* butCancel = nullptr;
    QPushButton* butHelp = nullptr;

    // The call reference and lines of each entry of the call lists, in list order.
    std::vector<std::pair<QString, QString>> CallRefs;

private:
    void FormActivate();
    void BuildCallLists();
    int SizeOption() const;
    void WriteDisplay(TBellOptions& options) const;

    TfrmDataMod& m_data;
    HelpSystem& m_help;
    TBellCard* m_card = nullptr;
    TBellOptions* m_global = nullptr;
    int m_bells = 8;
};

} // namespace tambrel
