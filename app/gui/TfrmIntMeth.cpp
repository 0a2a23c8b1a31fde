#include "app/gui/TfrmIntMeth.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tambrel {

TfrmIntMeth::TfrmIntMeth(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmIntMeth"));
    setWindowTitle(QStringLiteral("Inter-Method Falseness"));
    setWindowModality(Qt::WindowModal); // the help window opened from here stays usable

    auto* label = new QLabel(QStringLiteral("&Select the Second Method:"), this);
    lstMethods = new QListWidget(this);
    lstMethods->setObjectName(QStringLiteral("lstMethods"));
    lstMethods->setSelectionMode(QAbstractItemView::SingleSelection);
    lstMethods->setMinimumWidth(360);
    label->setBuddy(lstMethods);

    auto* buttons = new QDialogButtonBox(this);
    butOk = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    butOk->setObjectName(QStringLiteral("butOk"));
    butOk->setDefault(true);
    butCancel = buttons->addButton(QDialogButtonBox::Cancel);
    butCancel->setText(QStringLiteral("&Cancel"));
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butHelp = buttons->addButton(QDialogButtonBox::Help);
    butHelp->setText(QStringLiteral("&Help"));
    butHelp->setObjectName(QStringLiteral("butHelp"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(lstMethods);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(butOk, &QPushButton::clicked, this, [this] {
        butOkClick();
        accept();
    });
    connect(butCancel, &QPushButton::clicked, this, [this] {
        butCancelClick();
        reject();
    });
    connect(lstMethods, &QListWidget::itemDoubleClicked, this, &TfrmIntMeth::lstMethodsDblClick);
}

void TfrmIntMeth::FormActivate(const std::vector<Candidate>& candidates, int last)
{
    lstMethods->clear();
    m_slots.clear();
    m_chosen = 0;
    for (const Candidate& candidate : candidates) {
        lstMethods->addItem(QString::fromStdString(candidate.name));
        m_slots.push_back(candidate.slot);
    }
    if (lstMethods->count() > 0) {
        const auto at = std::find(m_slots.begin(), m_slots.end(), last);
        lstMethods->setCurrentRow(at == m_slots.end() ? 0 : static_cast<int>(at - m_slots.begin()));
    }
    setResult(QDialog::Rejected);
}

void TfrmIntMeth::butOkClick()
{
    const int row = lstMethods->currentRow();
    m_chosen = row >= 0 && row < static_cast<int>(m_slots.size())
                   ? m_slots[static_cast<std::size_t>(row)]
                   : 0;
}

void TfrmIntMeth::butCancelClick()
{
    m_chosen = 0;
}

void TfrmIntMeth::lstMethodsDblClick(QListWidgetItem* item)
{
    if (item != nullptr) {
        lstMethods->setCurrentItem(item);
    }
    butOkClick();
    done(QDialog::Accepted);
}

} // namespace tambrel
