#include "app/gui/ImportDialog.h"

#include "app/gui/HelpSystem.h"
#include "app/gui/Hourglass.h"
#include "app/gui/Icons.h"
#include "app/gui/MessageBoxes.h"
#include "library/ImportMessages.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace tambrel {

QString ImportDialog::Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

ImportDialog::ImportDialog(MessageBoxes& messages, HelpSystem& help, const QString& helpTopic,
                           QWidget* parent)
    : QDialog(parent), m_messages(messages), m_help(help)
{
    // Modal to the main window only, so that the help window opened from here stays usable.
    setWindowModality(Qt::WindowModal);
    lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextFormat(Qt::PlainText); // a file name shows as it is
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setTextFormat(Qt::PlainText);
    lblClosed = new QLabel(this);
    lblClosed->setObjectName(QStringLiteral("lblClosed"));
    lblClosed->setVisible(false);
    lblDetails = new QLabel(this);
    lblDetails->setObjectName(QStringLiteral("lblDetails"));
    lblDetails->setTextFormat(Qt::PlainText);
    lblDetails->setVisible(false);
    prgImport = new QProgressBar(this);
    prgImport->setObjectName(QStringLiteral("prgImport"));
    prgImport->setTextVisible(false);
    butSelect = new QPushButton(QStringLiteral("&Select the Import File"), this);
    butSelect->setObjectName(QStringLiteral("butSelect"));
    butReplace = new QPushButton(this);
    butReplace->setObjectName(QStringLiteral("butReplace"));
    butDetails = new QPushButton(QStringLiteral("&Details..."), this);
    butDetails->setObjectName(QStringLiteral("butDetails"));
    butDetails->setVisible(false);
    butClose = new QPushButton(QStringLiteral("&Close"), this);
    butClose->setObjectName(QStringLiteral("butClose"));
    butHelp = new QPushButton(QStringLiteral("&Help"), this);
    butHelp->setObjectName(QStringLiteral("butHelp"));
    butHelp->setIcon(ToolIcon(QStringLiteral("help")));
    for (QPushButton* button : {butSelect, butReplace, butDetails, butClose, butHelp}) {
        button->setAutoDefault(false); // Enter starts nothing that writes a library
    }
    connect(butClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(butDetails, &QPushButton::clicked, this, &ImportDialog::butDetailsClick);
    connect(butHelp, &QPushButton::clicked, this,
            [this, helpTopic] { m_help.Command(QStringLiteral("SHOW"), helpTopic, this); });
}

void ImportDialog::SetState(ImportState state)
{
    m_state = state;
    butSelect->setEnabled(state == ImportState::Select);
    butReplace->setEnabled(state == ImportState::Import);
    butClose->setEnabled(state != ImportState::Off);
    butHelp->setEnabled(state != ImportState::Off);
    butDetails->setEnabled(state != ImportState::Off);
}

QLayout* ImportDialog::LabelColumn()
{
    auto* labels = new QVBoxLayout;
    labels->addWidget(lblClosed);
    labels->addWidget(lblFile);
    labels->addSpacing(12);
    labels->addWidget(lblProgress);
    labels->addWidget(prgImport);
    auto* details = new QHBoxLayout;
    details->addWidget(lblDetails, 1);
    details->addWidget(butDetails);
    labels->addLayout(details);
    labels->addStretch();
    return labels;
}

void ImportDialog::NoteClosedMethods(bool closed)
{
    lblClosed->setVisible(closed);
    adjustSize();
}

void ImportDialog::ClearDetails()
{
    m_details.reset();
    lblDetails->setVisible(false);
    butDetails->setVisible(false);
}

void ImportDialog::butDetailsClick()
{
    if (m_details) {
        m_messages.Show(this, BoxKind::Information,
                        QStringLiteral("Reading %1 left out or changed:\r\r").arg(m_fileName) +
                            Q(m_details->Text(20)));
    }
}

bool ImportDialog::ConfirmReplace(bool methods, std::size_t held, std::size_t given,
                                  const StagedFile& staged)
{
    return given == 0 || m_messages.Show(this, BoxKind::Question,
                                         Q(ReplaceQuestion(methods, held, given,
                                                           staged.path.filename().string())));
}

void ImportDialog::ShowProgress(const QString& text)
{
    lblProgress->setText(text);
    lblProgress->repaint();
}

QString ImportDialog::ChooseFile(const QString& title, const QString& filter)
{
    if (chooseFile) {
        return chooseFile();
    }
    // Shown over this dialog rather than in its place: hiding a modal dialog would end it.
    return QFileDialog::getOpenFileName(this, title, QString(), filter);
}

bool ImportDialog::SelectFile(const QString& filter, bool methods,
                              const std::function<Status(const std::string& file)>& read,
                              const StagedFile& staged)
{
    const QString file = ChooseFile(QStringLiteral("Select the Import File"), filter);
    if (file.isEmpty()) {
        return false;
    }
    Hourglass hourglass;
    SetState(ImportState::Off);
    ShowProgress(Q(kMsgReadingImportFile));
    ClearDetails();
    if (const Status status = read(QFile::encodeName(file).toStdString()); !status) {
        m_messages.Show(this, BoxKind::Warning, Q(status.error));
        lblProgress->setText(Q(kMsgProgress));
        SetState(ImportState::Select);
        return false;
    }
    m_fileName = QFileInfo(file).fileName();
    lblFile->setText(Q(ImportFromFileText(methods, m_fileName.toStdString())));
    lblProgress->setText(Q(kMsgReadyToImport));
    m_details.emplace(staged);
    lblDetails->setText(Q(m_details->Summary()));
    lblDetails->setVisible(!m_details->Empty());
    butDetails->setVisible(!m_details->Empty());
    SetState(ImportState::Import);
    return true;
}

ImportFeedback ImportDialog::Feedback()
{
    ImportFeedback feedback;
    feedback.label = [this](std::string_view text) { ShowProgress(Q(text)); };
    feedback.progress = [this](std::size_t position, std::size_t maximum) {
        constexpr std::size_t kMost = std::numeric_limits<int>::max();
        prgImport->setMaximum(static_cast<int>(std::min(maximum, kMost)));
        prgImport->setValue(static_cast<int>(std::min(position, kMost)));
    };
    feedback.ask = [this](ImportQuestion, const std::string& text) {
        return m_messages.Show(this, BoxKind::Question, QString::fromStdString(text));
    };
    return feedback;
}

void ImportDialog::done(int result)
{
    if (m_state == ImportState::Off) {
        return; // busy: the import finishes first
    }
    FormClose();
    QDialog::done(result);
}

} // namespace tambrel
