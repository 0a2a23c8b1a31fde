#pragma once

#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "display/TBellOptions.h"
#include "engine/Calls.h"

#include <QMainWindow>
#include <QPrinter>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QToolBar;

namespace tambrel {

class HelpSystem;
class MessageBoxes;
class TBellCard;
class TBellPageWidget;
class TBellStore;
class TfrmAbout;
class TfrmDataMod;
class TfrmEdit;
class TfrmFind;
class TfrmImportCalls;
class TfrmImportMethods;
class TfrmIntMeth;
class TfrmOpen;
class TfrmOptions;
class TfrmPrint;

// The main window: up to five open methods on tab pages, the File, View, Tools and Help
// commands on the menus and the tool bar, and the flows that enter, open, edit, close, save,
// check and print methods.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kCards = 5;

    TfrmMain(TfrmDataMod& dataModule, HelpSystem& help, MessageBoxes& messages,
             QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Runs a modal dialog; tests put in a hook that works the dialog's controls instead.
    std::function<int(QDialog&)> execDialog;
    // Asks for the file to print into, offering `suggested`; "" when the user cancels. Tests
    // put in a hook that answers instead of the file dialog.
    std::function<QString(const QString& suggested)> choosePrintFile;
    // The about box at the first activation (tests leave it out).
    bool aboutAtFirstActivation = true;

    void FirstActivation();
    void MethodAction(const QString& action); // "NEW", "OPEN" or "EDIT"
    void ShowView(int view);
    void ChooseView(int view); // the view commands, with their refusals
    void SetOptions();
    void CloseCurrent();
    bool CloseAll();
    bool AskExit(); // the exit question and what follows; true when the program may end
    void SaveMethod();
    // Before saving: asks when the name's class or stage words disagree with the notation
    // (false: No) and offers the full title when the name has none (false: Cancel).
    bool ConfirmTitle(TBellCard& card);
    void CheckUnique();
    void FindSimilar();
    void PrintMethod();
    void CopyClipboard();
    void ImportMethods();
    void ImportCalls();
    void Reindex();

    int CurrentMethod() const { return m_current; }
    TBellCard& Card(int k); // 1..5
    TBellPageWidget& Page(int k);
    bool MethodCommandsEnabled() const;
    // Reads the calls library again, after it has changed.
    void ReloadCalls();

    TBellOptions GlobalOptions;
    // Makes the next showing of the open-method browser forget its saved position: set at
    // start-up, and wherever the method-find library is written anew.
    bool ResetOpenPosition = true;
    QPrinter printer{QPrinter::HighResolution};

    QAction* mnuFNew = nullptr;
    QAction* mnuFOpen = nullptr;
    QAction* mnuFClose = nullptr;
    QAction* mnuFCloseAll = nullptr;
    QAction* mnuFEdit = nullptr;
    QAction* mnuFSave = nullptr;
    QAction* mnuFPrint = nullptr;
    QAction* mnuFExit = nullptr;
    QAction* mnuVDiagram = nullptr;
    QAction* mnuVStatistics = nullptr;
    QAction* mnuVComposition = nullptr;
    QAction* mnuVInterMethod = nullptr;
    QAction* mnuVTouch = nullptr;
    QAction* mnuVOptions = nullptr;
    QAction* mnuTUnique = nullptr;
    QAction* mnuTFind = nullptr;
    QAction* mnuTClipboard = nullptr;
    QAction* mnuTClearClipboard = nullptr;
    QAction* mnuTImportMethods = nullptr;
    QAction* mnuTImportCalls = nullptr;
    QAction* mnuTReindex = nullptr;
    QAction* mnuHContents = nullptr;
    QAction* mnuHWhatsNew = nullptr;
    QAction* mnuHTutorial = nullptr;
    QAction* mnuHAbout = nullptr;
    QToolBar* tbrMain = nullptr;
    QComboBox* cboView = nullptr;
    QTabWidget* tbsMain = nullptr;
    QLabel* pnlStatus = nullptr;
    QLabel* lblEdited = nullptr;
    // The calling of the current page, above the tabs while its touch view is shown.
    QWidget* pnlCalling = nullptr;
    QLabel* lblCalling = nullptr;
    QLineEdit* edtCalling = nullptr;
    QCheckBox* chkByPositions = nullptr;
    QComboBox* cboObservation = nullptr;
    QLabel* lblTouchResult = nullptr;

    TfrmEdit* frmEdit = nullptr;
    TfrmOpen* frmOpen = nullptr;
    TfrmPrint* frmPrint = nullptr;
    TfrmOptions* frmOptions = nullptr;
    TfrmAbout* frmAbout = nullptr;
    TfrmImportMethods* frmImportMethods = nullptr;
    TfrmImportCalls* frmImportCalls = nullptr;
    TfrmIntMeth* frmIntMeth = nullptr;
    TfrmFind* frmFind = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateActions();
    void CreateMenusAndToolBar();
    void EnableMethodCommands(bool enabled);
    void PageChange();
    void ShowEdited();
    void SetTabCaption(int k);
    void StepTab(int step); // to the next (1) or previous (-1) open method, round the end
    void SetTabWidth();
    void RestoreViewList();
    void ShowCallingBar(); // shown with the touch view, holding the current page's calling
    void CallingEdited(const QString& text);
    const TBellStore* PageMethod(int page) const; // the method on the page-th tab shown
    void ChooseSecondMethod();
    int TabOf(int k) const;
    int CardAtTab(int tab) const;
    int Exec(QDialog& dialog);
    QString AskPrintFile(const QString& methodName);
    bool AskReplace(const QString& file); // the question, No by default
    void StatusText(const QString& text);
    // Says in the status line what the tables found and mended (a rebuilt index, a corrected
    // count), after `lead` when one is given, so that no repair passes unnoticed.
    void ReportTableWarnings(const QString& lead = {});

    TfrmDataMod& m_data;
    HelpSystem& m_help;
    MessageBoxes& m_messages;
    CallsLibrary m_calls;
    // Shared by the sheets of every page; each sheet fills them afresh before reading.
    TBellFCH m_fch;
    TBellRolls m_rolls;
    std::array<std::unique_ptr<TBellCard>, kCards> m_cards;
    std::array<TBellPageWidget*, kCards> m_pages{};
    QActionGroup* m_views = nullptr;
    int m_current = 0; // 1..5, 0 when no method is open
    int m_tabWidth = 0;
    bool m_activated = false;
    bool m_exiting = false;
};

} // namespace tambrel
