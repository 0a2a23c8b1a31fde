#pragma once

#include "library/FindSimilar.h"

#include <QDialog>

#include <atomic>
#include <string>
#include <thread>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tambrel {

class HelpSystem;
class MessageBoxes;
class TBellStore;
class TfrmDataMod;

// "Find Similar Methods": keeps the work of the current method above (or below) the treble,
// tries every other way of ringing the rest and stores the variants in the method-find library.
// The search runs on a thread of its own, so that the dialog stays responsive and Stop works at
// once; the counters follow it a few times a second.
class TfrmFind : public QDialog {
    Q_OBJECT
public:
    TfrmFind(TfrmDataMod& dataModule, MessageBoxes& messages, HelpSystem& help,
             QWidget* parent = nullptr);
    ~TfrmFind() override; // stops a search still running and waits for it

    // Takes the method to search from (a store FindRefusal accepts, unchanged while the dialog
    // is shown) and the flag that makes the browser forget its position once the find library
    // is written anew; then activates the dialog.
    void Prepare(const TBellStore& store, bool& resetOpenPosition, bool ccNotation = false);

    void butOKClick();   // "&Find": starts the search
    void butStopClick(); // asks the search to stop; it ends at its next candidate
    bool Searching() const { return m_worker.joinable(); }
    // The outcome of the last search, once it has ended.
    const FindOutcome& Outcome() const { return m_outcome; }

    QGroupBox* pnlMethod = nullptr;
    QLabel* lblMethod = nullptr;
    QGroupBox* rgpType = nullptr;
    QButtonGroup* typeButtons = nullptr; // ids 0, 1: Above the Treble, Below the Treble
    QCheckBox* chkRightPlaces = nullptr;
    QComboBox* cboGroup = nullptr;
    QLabel* lblChecked = nullptr;
    QLabel* lblFound = nullptr;
    QLabel* lblTotals1 = nullptr;
    QLabel* lblTotals2 = nullptr;
    QPushButton* butOK = nullptr;
    QPushButton* butStop = nullptr;
    QPushButton* butCancel = nullptr;
    QPushButton* butHelp = nullptr;

signals:
    void searchEnded(); // after the end of a search is shown

public slots:
    // While a search runs, closing the dialog (Escape, the window's close button) stops it
    // instead: the search is never left half-way.
    void done(int result) override;

private:
    void ChoiceChanged();
    void SetSearching(bool searching);
    void ShowCounts(const FindCounts& counts);
    void SearchEnded();
    void RememberChoices();

    TfrmDataMod& m_data;
    MessageBoxes& m_messages;
    HelpSystem& m_help;
    const TBellStore* m_store = nullptr;
    bool* m_resetOpenPosition = nullptr;

    // The choices of the last use, restored when the next is on the same number of bells.
    int m_lastBells = 0;
    int m_lastType = 0;
    QString m_lastGroup;
    bool m_lastRightPlaces = false;

    std::atomic<bool> m_stop{false};
    std::thread m_worker;  // joinable exactly while a search runs or awaits its end
    FindOutcome m_outcome; // written by the search, read once it has ended
    bool m_busy = false;   // the busy cursor is set over the whole program, once
};

} // namespace tambrel
