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

// Every message box of the program goes through here: texts are shown as plain text, with
// each "\r" of a message as a line break ("\r\r" leaves a blank line). Tests put a hook in
// place of the real boxes and answer them.
class MessageBoxes {
public:
    // True for OK or Yes.
    bool Show(QWidget* parent, BoxKind kind, const QString& text, const QString& title = {});
    SaveChoice AskSaveLibrary(QWidget* parent);

    std::function<bool(BoxKind kind, const QString& title, const QString& text)> hook;
    std::function<SaveChoice()> saveHook;

    static QString Displayed(const QString& text); // "\r" as line breaks
};

} // namespace tambrel
