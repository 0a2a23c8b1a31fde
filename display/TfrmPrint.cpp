#include "display/TfrmPrint.h"

#include "display/TBellOptions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace tambrel {

namespace {

// The poster choices by list index and the columns per page they stand for.
constexpr int kPosterColumns[4] = {0, 2, 3, 4};

} // namespace

TfrmPrint::TfrmPrint(QPrinter& printer, QWidget* parent) : QDialog(parent), m_printer(printer)
{
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("Print Options"));
    // Modal to the main window only, so that the help window opened from here stays usable.
    setWindowModality(Qt::WindowModal);

    speCopies = new QSpinBox(this);
    speCopies->setObjectName(QStringLiteral("speCopies"));
    speCopies->setRange(1, 99);
    // Copies change by the arrows only, as the count allows no typing.
    if (QLineEdit* edit = speCopies->findChild<QLineEdit*>()) {
        edit->setReadOnly(true);
    }
    auto* copies = new QFormLayout;
    copies->addRow(QStringLiteral("Cop&ies:"), speCopies);

    rgpPoster = new QGroupBox(QStringLiteral(" Print as Poster "), this);
    rgpPoster->setObjectName(QStringLiteral("rgpPoster"));
    auto* posterLayout = new QVBoxLayout(rgpPoster);
    const char* captions[4] = {"O&ff (Normal Print)", "&2 Columns per Page", "&3 Columns per Page",
                               "&4 Columns per Page"};
    for (int i = 0; i < 4; ++i) {
        posterChoices[i] = new QRadioButton(QString::fromLatin1(captions[i]), rgpPoster);
        posterLayout->addWidget(posterChoices[i]);
    }
    posterChoices[0]->setChecked(true);

    chkColour = new QCheckBox(QStringLiteral("Colour &Printer"), this);
    chkColour->setObjectName(QStringLiteral("chkColour"));

    butSetup = new QPushButton(QStringLiteral("&Setup..."), this);
    butSetup->setObjectName(QStringLiteral("butSetup"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    butOk = buttons->button(QDialogButtonBox::Ok);
    butOk->setObjectName(QStringLiteral("butOk"));
    butOk->setText(QStringLiteral("&OK"));
    butCancel = buttons->button(QDialogButtonBox::Cancel);
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butCancel->setText(QStringLiteral("&Cancel"));
    buttons->addButton(butSetup, QDialogButtonBox::ActionRole);
    butSetup->setAutoDefault(false); // Enter after the set-up prints rather than sets up again
    butOk->setDefault(true);
    butHelp = buttons->addButton(QDialogButtonBox::Help);
    butHelp->setText(QStringLiteral("&Help"));
    butHelp->setObjectName(QStringLiteral("butHelp"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(copies);
    layout->addWidget(rgpPoster);
    layout->addWidget(chkColour);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(butSetup, &QPushButton::clicked, this, &TfrmPrint::butSetupClicked);
}

void TfrmPrint::FormActivate(const TBellOptions& global, bool diagram)
{
    m_chosenFile.clear();
    speCopies->setValue(std::clamp(global.Copies, 1, 99));
    int index = 0;
    for (int i = 1; i < 4; ++i) {
        if (kPosterColumns[i] == global.PrintPoster) {
            index = i;
        }
    }
    posterChoices[index]->setChecked(true);
    chkColour->setChecked(global.PrintColour);
    m_printer.setPageOrientation(global.PrintOrient == "Portrait" ? QPageLayout::Portrait
                                                                  : QPageLayout::Landscape);
    rgpPoster->setVisible(diagram);
    chkColour->setVisible(diagram);
}

void TfrmPrint::Accepted(TBellOptions& global, TBellOptions& page) const
{
    int index = 0;
    for (int i = 0; i < 4; ++i) {
        if (posterChoices[i]->isChecked()) {
            index = i;
        }
    }
    global.Copies = 1;
    global.PrintPoster = kPosterColumns[index];
    global.PrintColour = chkColour->isChecked();
    global.PrintOrient =
        m_printer.pageLayout().orientation() == QPageLayout::Landscape ? "Landscape" : "Portrait";
    page.Copies = speCopies->value();
    page.PrintPoster = global.PrintPoster;
    page.PrintColour = global.PrintColour;
    page.PrintOrient = global.PrintOrient;
}

void TfrmPrint::butSetupClicked()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dialog.exec() == QDialog::Accepted) {
        SetupDone();
    }
    // Only "Copies" here counts; the set-up dialog's own count would multiply every job.
    m_printer.setCopyCount(1);
    butOk->setFocus();
}

void TfrmPrint::SetupDone()
{
    m_chosenFile =
        m_printer.outputFormat() == QPrinter::PdfFormat ? m_printer.outputFileName() : QString();
    butOk->setFocus();
}

} // namespace tambrel
