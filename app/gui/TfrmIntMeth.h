#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tambrel {

// "Inter-Method Falseness": chooses the second method among the open ones of the current
// method's number of bells.
class TfrmIntMeth : public QDialog {
    Q_OBJECT
public:
    // An open method the list offers: its page and its name.
    struct Candidate {
        int slot = 0; // 1..5
        std::string name;
    };

    explicit TfrmIntMeth(QWidget* parent = nullptr);

    // Fills the list with `candidates`, in page order, and selects the one on page `last` (the
    // method chosen last time), or the first when none is.
    void FormActivate(const std::vector<Candidate>& candidates, int last = 0);
    // The page of the method chosen; 0 until OK or a double-click, and after Cancel.
    int Chosen() const { return m_chosen; }

    void butOkClick();
    void butCancelClick();
    void lstMethodsDblClick(QListWidgetItem* item);

    QListWidget* lstMethods = nullptr;
    QPushButton* butOk = nullptr;
    QPushButton* butCancel = nullptr;
    QPushButton* butHelp = nullptr; // the main window connects it to the help

private:
    std::vector<int> m_slots; // the page of each list position
    int m_chosen = 0;
};

} // namespace tambrel
