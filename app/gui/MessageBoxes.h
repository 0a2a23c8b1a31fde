#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tambrel {

// The four kinds of message box: warning with OK, information with OK, question with Yes/No
// (No the default: every question's Yes closes, ends or writes something), and a plain message
// with OK.
enum class BoxKind { Warning, Information, Question, Plain };

// The answer to the save question's three buttons.
enum class SaveChoice { Main, Personal, Cancel };

// The answer to the offer of a method's full title.
enum class TitleChoice { AsTyped, Full, Cancel };

// Every message box of the program goes through here: texts are shown as plain text, with
// each "\r" of a message as a line break ("\r\r" leaves a blank line). Tests put a hook in
// place of the real boxes and answer them.
class MessageBoxes {
public:
    // True for OK or Yes.
    bool Show(QWidget* parent, BoxKind kind, const QString& text, const QString& title = {});
    SaveChoice AskSaveLibrary(QWidget* parent);
    // Offers `full` for a method named `typed`; Enter keeps the name as typed.
    TitleChoice AskTitle(QWidget* parent, const QString& typed, const QString& full);

    std::function<bool(BoxKind kind, const QString& title, const QString& text)> hook;
    std::function<SaveChoice()> saveHook;
    std::function<TitleChoice(const QString& text)> titleHook;

    static QString Displayed(const QString& text); // "\r" as line breaks
};

// The question AskTitle puts.
QString TitleOfferText(const QString& typed, const QString& full);

} // namespace tambrel
