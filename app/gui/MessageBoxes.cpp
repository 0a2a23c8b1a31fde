#include "app/gui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace tambrel {

QString MessageBoxes::Displayed(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

bool MessageBoxes::Show(QWidget* parent, BoxKind kind, const QString& text, const QString& title)
{
    const QString caption = title.isEmpty() ? QApplication::applicationDisplayName() : title;
    if (hook) {
        return hook(kind, caption, text);
    }
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText); // a name with "<" or "&" shows as typed
    box.setText(Displayed(text));
    switch (kind) {
    case BoxKind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case BoxKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case BoxKind::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // Yes closes, ends or changes the library; Enter must do none of that.
        box.setDefaultButton(QMessageBox::No);
        break;
    case BoxKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // The platform's own texts may have no access key; these have one on every platform.
    for (const auto& [button, accessText] :
         {std::pair{QMessageBox::Ok, "&OK"}, std::pair{QMessageBox::Yes, "&Yes"},
          std::pair{QMessageBox::No, "&No"}}) {
        if (QAbstractButton* shown = box.button(button)) {
            shown->setText(QString::fromLatin1(accessText));
        }
    }
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

SaveChoice MessageBoxes::AskSaveLibrary(QWidget* parent)
{
    if (saveHook) {
        return saveHook();
    }
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Save the Current Method"));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::Question);
    box.setText(QStringLiteral("Save to which Library?"));
    QPushButton* main = box.addButton(QStringLiteral("&Main"), QMessageBox::AcceptRole);
    QPushButton* personal = box.addButton(QStringLiteral("&Personal"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("&Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel); // both libraries are stored data: Enter writes neither
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == main) {
        return SaveChoice::Main;
    }
    if (box.clickedButton() == personal) {
        return SaveChoice::Personal;
    }
    return SaveChoice::Cancel;
}

QString TitleOfferText(const QString& typed, const QString& full)
{
    return QStringLiteral("The Central Council's title for this method is\r\r%1\r\rSave it under "
                          "that title, or under the name as typed (%2)?")
        .arg(full, typed);
}

TitleChoice MessageBoxes::AskTitle(QWidget* parent, const QString& typed, const QString& full)
{
    const QString text = TitleOfferText(typed, full);
    if (titleHook) {
        return titleHook(text);
    }
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Save the Current Method"));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::Question);
    box.setText(Displayed(text));
    QPushButton* asTyped = box.addButton(QStringLiteral("&As Typed"), QMessageBox::AcceptRole);
    QPushButton* whole = box.addButton(QStringLiteral("&Full Title"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("&Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(asTyped); // the name the ringer typed stays unless asked otherwise
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == whole) {
        return TitleChoice::Full;
    }
    return box.clickedButton() == asTyped ? TitleChoice::AsTyped : TitleChoice::Cancel;
}

} // namespace tambrel
