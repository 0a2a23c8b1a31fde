#include "app/gui/HelpSystem.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TfrmFind.h"
#include "app/gui/TfrmMain.h"
#include "display/TBellPageWidget.h"
#include "library/TfrmDataMod.h"
#include "tests/support/TestSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tambrel {
namespace {

using test::TempDir;

std::string Name(const QObject* object)
{
    const QString name = object->objectName();
    if (const auto* button = qobject_cast<const QAbstractButton*>(object)) {
        return (name + QLatin1Char(' ') + button->text()).toStdString();
    }
    if (const auto* label = qobject_cast<const QLabel*>(object)) {
        return (name + QLatin1Char(' ') + label->text()).toStdString();
    }
    return (QString::fromLatin1(object->metaObject()->className()) + QLatin1Char(' ') + name)
        .toStdString();
}

// Alt+letter of a caption, empty when it has no access key ("&&" is a plain "&").
QKeySequence Mnemonic(const QString& text)
{
    return QKeySequence::mnemonic(text);
}

// Every access key of the controls shown together, no two alike; every button with a caption
// has one, and a label's key leads to its field.
void ExpectAccessKeys(QWidget& dialog)
{
    std::map<QKeySequence, std::string> taken;
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() || !button->isVisibleTo(&dialog)) {
            continue; // a picture button: its tool tip names it, and Tab reaches it
        }
        SCOPED_TRACE(Name(button));
        const QKeySequence key = Mnemonic(button->text());
        EXPECT_FALSE(key.isEmpty());
        if (!key.isEmpty()) {
            const auto [first, added] = taken.emplace(key, Name(button));
            EXPECT_TRUE(added) << "same key as " << first->second;
        }
    }
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        const QKeySequence key = Mnemonic(label->text());
        if (key.isEmpty()) {
            continue;
        }
        SCOPED_TRACE(Name(label));
        EXPECT_NE(label->buddy(), nullptr);
        if (label->isVisibleTo(&dialog)) {
            const auto [first, added] = taken.emplace(key, Name(label));
            EXPECT_TRUE(added) << "same key as " << first->second;
        }
    }
}

bool InsideCompound(const QWidget* widget)
{
    for (const QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QComboBox*>(up)) {
            return true;
        }
    }
    return false;
}

// What Tab should reach: the fields, lists and buttons shown and enabled. Radio buttons of
// one group are one stop (the arrows move within it), so they count by their group.
const void* Stop(QWidget* widget)
{
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        if (radio->group() != nullptr) {
            return radio->group();
        }
        if (radio->autoExclusive()) {
            return radio->parentWidget();
        }
    }
    return widget;
}

bool IsInput(QWidget* widget)
{
    return (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
            qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
            qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QTabBar*>(widget)) &&
           !InsideCompound(widget);
}

// Presses Tab round the dialog and expects every input shown to be reached, none twice
// before the first comes back.
void ExpectTabReachesEverything(QWidget& dialog)
{
    std::set<const void*> expected;
    std::map<const void*, std::string> names;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (IsInput(widget) && (widget->focusPolicy() & Qt::TabFocus) != 0 &&
            widget->isVisibleTo(&dialog) && widget->isEnabled()) {
            expected.insert(Stop(widget));
            names.emplace(Stop(widget), Name(widget));
        }
    }
    QWidget* first = QApplication::focusWidget();
    ASSERT_EQ(QApplication::activeWindow(), &dialog);
    if (first == nullptr || !dialog.isAncestorOf(first)) {
        for (first = dialog.nextInFocusChain(); first != &dialog;
             first = first->nextInFocusChain()) {
            if ((first->focusPolicy() & Qt::TabFocus) != 0 && first->isVisibleTo(&dialog) &&
                first->isEnabled()) {
                first->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    ASSERT_TRUE(dialog.isAncestorOf(first)) << "nothing to start from";
    std::set<const void*> reached;
    std::string order;
    QWidget* focus = first;
    for (int presses = 0; presses < 200; ++presses) {
        reached.insert(Stop(focus));
        order += Name(focus) + " | ";
        QTest::keyClick(focus, Qt::Key_Tab);
        focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << order << " active: "
                                  << (QApplication::activeWindow() != nullptr
                                          ? Name(QApplication::activeWindow())
                                          : std::string("none"));
        if (focus == first) {
            break;
        }
    }
    SCOPED_TRACE("Tab order: " + order);
    EXPECT_EQ(focus, first) << "Tab never comes back to where it started";
    for (const void* stop : expected) {
        EXPECT_TRUE(reached.count(stop) > 0) << "never reached: " << names[stop];
    }
}

// Shows the dialog over the main window, as the program does, and checks it page by page.
void CheckDialog(QWidget& owner, QDialog& dialog)
{
    SCOPED_TRACE(dialog.objectName().toStdString());
    dialog.show();
    // Made active directly: a dialog shown again keeps the platform's idea that it is active
    // while the application has moved on.
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // Opened over the main window, unless the screen is too small to hold it there.
    QRect centred(QPoint(), dialog.frameGeometry().size());
    centred.moveCenter(owner.frameGeometry().center());
    if (dialog.screen()->availableGeometry().contains(centred)) {
        const QPoint off = dialog.frameGeometry().center() - owner.frameGeometry().center();
        EXPECT_LE(off.manhattanLength(), 8) << "not centred over the main window";
    }
    auto* tabs = dialog.findChild<QTabWidget*>();
    const int pages = tabs != nullptr ? tabs->count() : 1;
    for (int page = 0; page < pages; ++page) {
        if (tabs != nullptr) {
            if (!tabs->isTabEnabled(page)) {
                continue;
            }
            tabs->setCurrentIndex(page);
            SCOPED_TRACE(tabs->tabText(page).toStdString());
            tabs->tabBar()->setFocus();
            ExpectAccessKeys(dialog);
            ExpectTabReachesEverything(dialog);
        } else {
            ExpectAccessKeys(dialog);
            ExpectTabReachesEverything(dialog);
        }
    }
    dialog.hide();
}

// The main window over a small library; each dialog it shows is checked instead of run.
class Keyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("data"));
        dir.Write("data/Methods.csv",
                  "0,TB_Method_Library,\"Test 1\",\n"
                  "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n"
                  "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n");
        std::filesystem::copy_file(TAMBREL_CALLS_CSV, dir.Path("data/Calls.csv"));
        data = std::make_unique<TfrmDataMod>(dir.Path("Library"), dir.Path("data"));
        ASSERT_TRUE(data->frmDataModCreate());
        messages.hook = [](BoxKind, const QString&, const QString&) { return true; };
        help = std::make_unique<HelpSystem>(messages, dir.Path("program"));
        window = std::make_unique<TfrmMain>(*data, *help, messages);
        window->aboutAtFirstActivation = false;
        window->show();
        // Away from the middle of the screen, so that a dialog centred on the screen shows.
        window->setGeometry(QRect(QPoint(), QSize(480, 360))
                                .translated(window->screen()->availableGeometry().bottomRight() -
                                            QPoint(560, 420)));
        window->execDialog = [this](QDialog& dialog) {
            checked.push_back(dialog.objectName());
            if (onDialog) {
                onDialog(dialog);
            } else {
                CheckDialog(*window, dialog);
            }
            return dialog.result();
        };
    }

    void Enter(int bells, const char* name, const char* notation)
    {
        onDialog = [&](QDialog& dialog) {
            CheckDialog(*window, dialog);
            dialog.setResult(QDialog::Rejected);
            dialog.findChild<QComboBox*>("cboBells")->setCurrentIndex(bells - 4);
            dialog.findChild<QLineEdit*>("edtName")->setText(QString::fromLatin1(name));
            dialog.findChild<QLineEdit*>("edtPlaces")->setText(QString::fromLatin1(notation));
            dialog.findChild<QPushButton*>("butOK")->click();
        };
        window->MethodAction(QStringLiteral("NEW"));
        onDialog = nullptr;
    }

    TempDir dir;
    std::unique_ptr<TfrmDataMod> data;
    MessageBoxes messages;
    std::unique_ptr<HelpSystem> help;
    std::unique_ptr<TfrmMain> window;
    std::function<void(QDialog&)> onDialog;
    QStringList checked;
};

TEST_F(Keyboard, EveryDialogHasAccessKeysAndATabOrder)
{
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    Enter(8, "YORKSHIRE SURPRISE MAJOR", "-38-14-58-16-12-38-14-78LH12");
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    window->MethodAction(QStringLiteral("OPEN"));
    window->MethodAction(QStringLiteral("EDIT"));
    window->SetOptions();
    window->PrintMethod();
    window->FindSimilar();
    window->mnuHAbout->trigger();
    window->tbsMain->setCurrentIndex(window->tbsMain->indexOf(&window->Page(1)));
    ASSERT_EQ(window->CurrentMethod(), 1);
    QStringList said;
    messages.hook = [&](BoxKind, const QString&, const QString& text) {
        said << text;
        return true;
    };
    window->ChooseView(3); // the second-method dialog
    EXPECT_EQ(said, QStringList());
    window->ImportMethods(); // last: an import closes the methods first
    window->ImportCalls();
    checked.removeDuplicates();
    checked.sort();
    EXPECT_EQ(checked,
              QStringList({"frmAbout", "frmEdit", "frmFind", "frmImportCalls", "frmImportMethods",
                           "frmIntMeth", "frmOpen", "frmOptions", "frmPrint"}));
}

TEST_F(Keyboard, EveryMenuCommandHasItsOwnAccessKey)
{
    std::set<QKeySequence> titles;
    for (QAction* title : window->menuBar()->actions()) {
        SCOPED_TRACE(title->text().toStdString());
        const QKeySequence key = Mnemonic(title->text());
        EXPECT_FALSE(key.isEmpty());
        EXPECT_TRUE(titles.insert(key).second);
        ASSERT_NE(title->menu(), nullptr);
        std::map<QKeySequence, QString> taken;
        for (QAction* command : title->menu()->actions()) {
            if (command->isSeparator()) {
                continue;
            }
            SCOPED_TRACE(command->text().toStdString());
            const QKeySequence commandKey = Mnemonic(command->text());
            EXPECT_FALSE(commandKey.isEmpty());
            const auto [first, added] = taken.emplace(commandKey, command->text());
            EXPECT_TRUE(commandKey.isEmpty() || added)
                << "same key as " << first->second.toStdString();
        }
    }
    EXPECT_EQ(titles.size(), 4U);
}

// The message boxes, shown for real and closed by Escape, which answers as Cancel or No does.
TEST(KeyboardBoxes, MessageBoxButtonsHaveAccessKeys)
{
    MessageBoxes boxes;
    QStringList seen;
    const auto check = [&] {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QStringList captions;
            for (QAbstractButton* button : box->buttons()) {
                captions << button->text();
            }
            seen << captions.join(QLatin1Char(','));
            ExpectAccessKeys(*box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
    };
    for (const BoxKind kind :
         {BoxKind::Warning, BoxKind::Information, BoxKind::Question, BoxKind::Plain}) {
        check();
        boxes.Show(nullptr, kind, QStringLiteral("Text"));
    }
    check();
    EXPECT_EQ(boxes.AskSaveLibrary(nullptr), SaveChoice::Cancel);
    EXPECT_EQ(seen.size(), 5);
}

// The search runs beside the window: the busy pointer shows over all of the program while it
// runs, and goes when it ends.
TEST_F(Keyboard, FindSimilarShowsTheBusyPointerWhileItSearches)
{
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    bool busy = false;
    onDialog = [&](QDialog& dialog) {
        auto& find = dynamic_cast<TfrmFind&>(dialog);
        QSignalSpy ended(&find, &TfrmFind::searchEnded);
        find.butOK->click();
        busy = QApplication::overrideCursor() != nullptr &&
               QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        ASSERT_TRUE(ended.count() > 0 || ended.wait(30'000));
    };
    window->FindSimilar();
    EXPECT_TRUE(busy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace tambrel
