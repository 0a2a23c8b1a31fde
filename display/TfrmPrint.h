#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tambrel {

class TBellOptions;

// "Print Options": copies, poster printing and the colour printer for the page about to be
// printed, and the printer set-up.
class TfrmPrint : public QDialog {
    Q_OBJECT
public:
    // `printer` is the one printer kept while the program runs.
    TfrmPrint(QPrinter& printer, QWidget* parent = nullptr);

    // Fills the controls from the global options; the poster and colour choices show only when
    // the diagram is printed.
    void FormActivate(const TBellOptions& global, bool diagram);
    // On OK: the choices into the global options and the page's.
    void Accepted(TBellOptions& global, TBellOptions& page) const;
    // The file chosen to print to in the set-up since FormActivate; empty when none was.
    const QString& ChosenFile() const { return m_chosenFile; }
    // After the set-up: notes the file chosen there, and Enter presses OK again.
    void SetupDone();

    QSpinBox* speCopies = nullptr;
    QGroupBox* rgpPoster = nullptr;
    QRadioButton* posterChoices[4] = {};
    QCheckBox* chkColour = nullptr;
    QPushButton* butOk = nullptr;
    QPushButton* butCancel = nullptr;
    QPushButton* butSetup = nullptr;
    QPushButton* butHelp = nullptr; // the main window connects it to the help

private:
    void butSetupClicked();
    QPrinter& m_printer;
    QString m_chosenFile;
};

} // namespace tambrel
