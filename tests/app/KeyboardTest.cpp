#include "app/gui/TfrmFind.h"
#include "display/TBellPageWidget.h"
#include "tests/app/GuiFixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <map>
#include <set>

namespace tambrel {
namespace {

std::string Name(const QObject* object)
{
    return object->objectName().toStdString() + ' ' + object->metaObject()->className() + ' ' +
           object->property("text").toString().toStdString();
}

// Every access key of the controls shown together, no two alike; every button with a caption
// has one, and a label's key leads to its field. ("&&" is a plain "&".)
void ExpectAccessKeys(QWidget& dialog)
{
    std::map<QKeySequence, std::string> taken;
    const auto take = [&](QWidget* control, const QString& caption) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (!key.isEmpty() && control->isVisibleTo(&dialog)) {
            const auto [first, added] = taken.emplace(key, Name(control));
            EXPECT_TRUE(added) << Name(control) << ": same key as " << first->second;
        }
        return !key.isEmpty();
    };
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        // A picture button has no caption: its tool tip names it, and Tab reaches it.
        EXPECT_TRUE(take(button, button->text()) || button->text().isEmpty() ||
                    !button->isVisibleTo(&dialog))
            << Name(button) << " has no access key";
    }
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (take(label, label->text())) {
            EXPECT_NE(label->buddy(), nullptr) << Name(label);
        }
    }
}

// What Tab should reach: the inputs shown and enabled, not the parts of a spin or combo box.
// Radio buttons of one group are one stop (the arrows move within it).
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
bool IsStop(QWidget* widget, QWidget& dialog)
{
    for (const QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QComboBox*>(up)) {
            return false;
        }
    }
    return (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
            qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
            qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QTabBar*>(widget)) &&
           (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisibleTo(&dialog) &&
           widget->isEnabled();
}

// Presses Tab round the dialog: every input shown is reached before the first comes back.
void ExpectTabReachesEverything(QWidget& dialog)
{
    std::map<const void*, std::string> expected;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (IsStop(widget, dialog)) {
            expected.emplace(Stop(widget), Name(widget));
        }
    }
    ASSERT_EQ(QApplication::activeWindow(), &dialog);
    QWidget* first = QApplication::focusWidget();
    if (first == nullptr || !dialog.isAncestorOf(first)) {
        first = dialog.nextInFocusChain();
        while (first != &dialog && !IsStop(first, dialog)) {
            first = first->nextInFocusChain();
        }
        first->setFocus(Qt::TabFocusReason);
    }
    ASSERT_TRUE(dialog.isAncestorOf(first)) << "nothing to start from";
    std::set<const void*> reached;
    std::string order;
    QWidget* focus = first;
    for (int presses = 0; presses < 200 && focus != nullptr; ++presses) {
        reached.insert(Stop(focus));
        order += Name(focus) + " | ";
        QTest::keyClick(focus, Qt::Key_Tab);
        focus = QApplication::focusWidget();
        if (focus == first) {
            break;
        }
    }
    SCOPED_TRACE("Tab order: " + order);
    EXPECT_EQ(focus, first) << "Tab never comes back to where it started";
    for (const auto& [stop, name] : expected) {
        EXPECT_TRUE(reached.count(stop) > 0) << "never reached: " << name;
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
    for (int page = 0; page < (tabs != nullptr ? tabs->count() : 1); ++page) {
        if (tabs != nullptr) {
            if (!tabs->isTabEnabled(page)) {
                continue;
            }
            tabs->setCurrentIndex(page);
            tabs->tabBar()->setFocus();
        }
        SCOPED_TRACE(page);
        ExpectAccessKeys(dialog);
        ExpectTabReachesEverything(dialog);
    }
    // F1 asks for the dialog's own help page, as its Help button does.
    auto* help = dialog.findChild<QAbstractButton*>(QStringLiteral("butHelp"));
    EXPECT_TRUE(help != nullptr || dialog.objectName() == "frmAbout");
    if (help != nullptr) {
        const QSignalSpy pressed(help, &QAbstractButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        EXPECT_EQ(pressed.count(), 1);
    }
    dialog.hide();
}

// The main window away from the middle of the screen (so that a dialog centred on the screen
// shows), each dialog it runs checked instead.
class Keyboard : public test::WindowFixture {
protected:
    Keyboard() : WindowFixture(test::kSmallMethodsCsv, test::BundledCalls()) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        window->show();
        window->setGeometry(QRect(QPoint(), QSize(480, 360))
                                .translated(window->screen()->availableGeometry().bottomRight() -
                                            QPoint(560, 420)));
        onDialog = [this](QDialog& dialog) {
            checked.push_back(dialog.objectName());
            CheckDialog(*window, dialog);
        };
    }
    QStringList checked;
};

TEST_F(Keyboard, EveryDialogHasAccessKeysAndATabOrder)
{
    enterHook = [check = onDialog](TfrmEdit& edit) { check(edit); };
    Enter(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    Enter(8, "YORKSHIRE SURPRISE MAJOR", "-38-14-58-16-12-38-14-78LH12");
    Enter(6, "PLAIN BOB MINOR", "x16x16x16x16x16x12");
    for (QAction* command : {window->mnuFOpen, window->mnuFEdit, window->mnuVOptions,
                             window->mnuFPrint, window->mnuTFind, window->mnuHAbout}) {
        command->trigger();
    }
    Front(1);
    window->mnuVInterMethod->trigger();   // the second-method dialog
    window->mnuTImportMethods->trigger(); // last: an import closes the methods first
    window->mnuTImportCalls->trigger();
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
        EXPECT_TRUE(titles.insert(QKeySequence::mnemonic(title->text())).second)
            << title->text().toStdString();
        ASSERT_NE(title->menu(), nullptr);
        std::set<QKeySequence> taken;
        for (QAction* command : title->menu()->actions()) {
            const QKeySequence key = QKeySequence::mnemonic(command->text());
            EXPECT_TRUE(command->isSeparator() || (!key.isEmpty() && taken.insert(key).second))
                << command->text().toStdString();
        }
    }
    EXPECT_EQ(titles.size(), 4U);
    EXPECT_FALSE(titles.contains(QKeySequence()));
}

// The message boxes, shown for real and closed by Escape, which answers as Cancel or No does.
TEST(KeyboardBoxes, MessageBoxButtonsHaveAccessKeys)
{
    MessageBoxes boxes;
    int seen = 0;
    const auto check = [&] {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            ++seen;
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
    EXPECT_EQ(seen, 5);
}

} // namespace
} // namespace tambrel
