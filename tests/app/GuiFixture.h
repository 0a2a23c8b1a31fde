#pragma once

#include "app/gui/HelpSystem.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TfrmEdit.h"
#include "app/gui/TfrmMain.h"
#include "display/TBellCard.h"
#include "display/TBellPageWidget.h"
#include "library/TfrmDataMod.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

// Failures show strings as text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tambrel::test {

// What the window tests stand on: a library folder, its data module, every message box
// recorded and answered by the test (from `answers`, else `unanswered`) and the help system.
class GuiFixture : public ::testing::Test {
protected:
    explicit GuiFixture(std::string_view methodsCsv = kSmallMethodsCsv,
                        std::string_view callsCsv = kSmallCallsCsv)
        : dir(methodsCsv, callsCsv)
    {
        messages.hook = [this](BoxKind kind, const QString&, const QString& text) {
            shown.push_back({kind, text});
            if (answers.empty()) {
                return unanswered;
            }
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        };
        messages.saveHook = [this] { return saveChoice; };
        messages.titleHook = [this](const QString& text) {
            titlesOffered << text;
            return titleChoice;
        };
        help = std::make_unique<HelpSystem>(messages, dir.Path("program"));
    }

    TitleChoice titleChoice = TitleChoice::AsTyped;
    QStringList titlesOffered;

    QString Last() const { return shown.empty() ? QString() : shown.back().text; }

    struct Message {
        BoxKind kind;
        QString text;
    };
    LibraryDir dir;
    TfrmDataMod data{dir.Library(), dir.Data()};
    MessageBoxes messages;
    std::unique_ptr<HelpSystem> help;
    std::vector<Message> shown;
    std::deque<bool> answers;
    bool unanswered = true;
    SaveChoice saveChoice = SaveChoice::Main;
};

// The main window over the library, every dialog it runs handed to `onDialog` instead.
class WindowFixture : public GuiFixture {
protected:
    using GuiFixture::GuiFixture;

    void SetUp() override
    {
        ASSERT_TRUE(data.frmDataModCreate());
        window = std::make_unique<TfrmMain>(data, *help, messages);
        window->aboutAtFirstActivation = false;
        window->execDialog = [this](QDialog& dialog) {
            ++dialogs;
            dialog.setResult(QDialog::Rejected); // as exec() starts it
            if (onDialog) {
                onDialog(dialog);
            }
            return dialog.result();
        };
        window->resize(1040, 700);
    }

    // Enters a method through the real entry dialog.
    void Enter(int bells, const QString& name, const QString& notation)
    {
        const auto kept = onDialog;
        onDialog = [&](QDialog& dialog) {
            auto& edit = dynamic_cast<TfrmEdit&>(dialog);
            if (enterHook) {
                enterHook(edit);
            }
            edit.cboBells->setCurrentIndex(bells - 4);
            edit.edtName->setText(name);
            edit.edtPlaces->setText(notation);
            edit.butOKClick();
        };
        window->mnuFNew->trigger();
        onDialog = kept;
    }
    void Front(int slot)
    {
        window->tbsMain->setCurrentIndex(window->tbsMain->indexOf(&window->Page(slot)));
    }
    int OpenTabs() const
    {
        int open = 0;
        for (int t = 0; t < window->tbsMain->count(); ++t) {
            open += window->tbsMain->isTabVisible(t) ? 1 : 0;
        }
        return open;
    }
    TBellCard& Current() { return window->Card(window->CurrentMethod()); }
    QString CurrentName() { return QString::fromStdString(Current().Store().Name()); }

    std::unique_ptr<TfrmMain> window;
    std::function<void(QDialog&)> onDialog;
    std::function<void(TfrmEdit&)> enterHook; // runs on the entry dialog before it is filled in
    int dialogs = 0;
};

// The whole of the bundled calls library, for the tests that count or choose its calls.
inline std::string BundledCalls()
{
    return ReadFile(TAMBREL_CALLS_CSV);
}

// The items of a list box, in order.
inline QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

} // namespace tambrel::test
