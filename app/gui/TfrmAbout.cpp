#include "app/gui/TfrmAbout.h"

#include "app/gui/Icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tambrel {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Tambrel"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(ToolIcon(QStringLiteral("tambrel")).pixmap(64, 64));
    auto* product = new QLabel(QStringLiteral("<b style=\"font-size:16pt\">Tambrel</b>"), this);
    auto* version = new QLabel(QStringLiteral("Version 3.3b"), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* library = new QLabel(QStringLiteral("The method library is made from the Central "
                                              "Council of Church Bell Ringers' methods "
                                              "collection."),
                               this);
    library->setObjectName(QStringLiteral("lblLibrary"));
    library->setWordWrap(true);
    auto* licence = new QLabel(QStringLiteral("Free software under the GNU General Public "
                                              "License, version 3 or later."),
                               this);
    licence->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("butOk"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(product);
    text->addWidget(version);
    text->addSpacing(8);
    text->addWidget(library);
    text->addWidget(licence);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

} // namespace tambrel
