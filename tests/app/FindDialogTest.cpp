#include "app/gui/HelpSystem.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TfrmFind.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/LibraryTables.h"
#include "library/TfrmDataMod.h"
#include "tests/support/TestSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tambrel {
namespace {

using test::ReadFile;
using test::TempDir;

std::unique_ptr<TBellStore> Method(int bells, const char* name, const char* notation)
{
    auto store = std::make_unique<TBellStore>();
    store->SetBells(bells);
    store->SetName(name);
    store->SetPlaceNotation(notation);
    store->Calculate();
    return store;
}

// A long search: forty changes of Major whose treble dodges at the back for most of the
// lead, where the most places can be varied below it.
std::string LongNotation()
{
    std::string notation = "-18-18-18-";
    for (int i = 0; i < 6; ++i) {
        notation += "16-";
    }
    return notation + "16 LH 12";
}

// The find dialog over a small library, every message box answered by the test.
class FindDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("data"));
        dir.Write("data/Methods.csv", "0,TB_Method_Library,\"Test 1\",\n"
                                      "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n");
        data = std::make_unique<TfrmDataMod>(dir.Path("Library"), dir.Path("data"));
        ASSERT_TRUE(data->EnsureTables());
        messages.hook = [this](BoxKind kind, const QString&, const QString& text) {
            shown.push_back({kind, text});
            return true;
        };
        help = std::make_unique<HelpSystem>(messages, dir.Path("program"));
        dialog = std::make_unique<TfrmFind>(*data, messages, *help);
        plainBob = Method(6, "PLAIN BOB MINOR", "x16x16x16LH12");
        longMethod = Method(8, "FORTY MAJOR", LongNotation().c_str());
    }

    // Starts a search and waits for its end to be shown.
    void WaitForEnd(QSignalSpy& ended)
    {
        ASSERT_TRUE(ended.count() > 0 || ended.wait(60'000));
        EXPECT_FALSE(dialog->Searching());
    }

    std::uint32_t FindLibraryCount()
    {
        TDbf table(kMethodTags, kMethodLayout);
        table.SetDbfFileName(dir.Path("Library") + "/Find_Lib.dbf");
        EXPECT_TRUE(table.Open(TableAccess::Read));
        std::uint32_t count = 0;
        for (table.GoTop(); !table.Eof(); table.Skip()) {
            ++count;
        }
        return count;
    }

    void ExpectIdle()
    {
        EXPECT_TRUE(dialog->butOK->isEnabled());
        EXPECT_TRUE(dialog->butCancel->isEnabled());
        EXPECT_FALSE(dialog->butStop->isEnabled());
    }

    struct Shown {
        BoxKind kind;
        QString text;
    };
    TempDir dir;
    std::unique_ptr<TfrmDataMod> data;
    MessageBoxes messages;
    std::vector<Shown> shown;
    std::unique_ptr<HelpSystem> help;
    std::unique_ptr<TfrmFind> dialog;
    std::unique_ptr<TBellStore> plainBob;
    std::unique_ptr<TBellStore> longMethod;
    bool reset = false;
};

TEST_F(FindDialog, SearchesAndShowsTheTotals)
{
    dialog->Prepare(*plainBob, reset);
    EXPECT_EQ(dialog->lblChecked->text(), "0");
    EXPECT_FALSE(dialog->lblTotals1->isVisibleTo(dialog.get()));
    QSignalSpy ended(dialog.get(), &TfrmFind::searchEnded);
    dialog->butOK->click();
    WaitForEnd(ended);
    ExpectIdle();
    EXPECT_TRUE(reset);
    EXPECT_EQ(dialog->lblChecked->text(), "81");
    EXPECT_EQ(dialog->lblFound->text(), "13");
    EXPECT_EQ(dialog->lblTotals1->text(), "12 New Methods and 1 Existing Methods");
    EXPECT_EQ(dialog->lblTotals2->text(), "have been saved in the Method Find Library");
    EXPECT_TRUE(dialog->lblTotals1->isVisibleTo(dialog.get()));
    EXPECT_TRUE(dialog->lblTotals2->isVisibleTo(dialog.get()));
    EXPECT_EQ(FindLibraryCount(), 13U);
    EXPECT_TRUE(shown.empty());

    // Another choice: the counters start again and the totals go.
    dialog->typeButtons->button(1)->click();
    EXPECT_EQ(dialog->lblChecked->text(), "0");
    EXPECT_EQ(dialog->lblFound->text(), "0");
    EXPECT_FALSE(dialog->lblTotals1->isVisibleTo(dialog.get()));
}

TEST_F(FindDialog, StopEscapeAndCloseEndTheSearchAtOnce)
{
    dialog->Prepare(*longMethod, reset);
    dialog->show();
    for (const int way : {0, 1, 2}) {
        SCOPED_TRACE(way);
        QSignalSpy ended(dialog.get(), &TfrmFind::searchEnded);
        dialog->butOK->click();
        EXPECT_TRUE(dialog->butStop->isEnabled());
        EXPECT_FALSE(dialog->butOK->isEnabled());
        EXPECT_FALSE(dialog->butCancel->isEnabled());
        EXPECT_FALSE(dialog->cboGroup->isEnabled());
        QTest::qWait(300); // the counters move meanwhile
        if (way == 0) {
            dialog->butStop->click();
        } else if (way == 1) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        } else {
            dialog->close();
        }
        WaitForEnd(ended);
        EXPECT_TRUE(dialog->isVisible()); // the dialog stays; the search ended
        ExpectIdle();
        EXPECT_TRUE(dialog->Outcome().stopped);
        const FindCounts& counts = dialog->Outcome().counts;
        EXPECT_GT(counts.possibilities, 0U);
        EXPECT_EQ(dialog->lblChecked->text().toStdString(), GroupThousands(counts.possibilities));
        EXPECT_EQ(dialog->lblFound->text().toStdString(), GroupThousands(counts.found));
        EXPECT_TRUE(dialog->lblTotals1->isVisible());
        EXPECT_EQ(FindLibraryCount(), counts.found); // what was stored is there to browse
    }
    QTest::keyClick(dialog.get(), Qt::Key_Escape); // idle: Escape closes as ever
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(shown.empty());
}

TEST_F(FindDialog, AFailureSaysSoAndRestoresTheButtons)
{
    dialog->Prepare(*plainBob, reset);
    QSignalSpy first(dialog.get(), &TfrmFind::searchEnded);
    dialog->butOK->click();
    WaitForEnd(first);
    const std::string before = ReadFile(dir.Path("Library") + "/Find_Lib.dbf");

    TDbf held(kMethodTags, kMethodLayout); // as another program reading the find library
    held.SetDbfFileName(dir.Path("Library") + "/Find_Lib.dbf");
    ASSERT_TRUE(held.Open(TableAccess::Read));
    QSignalSpy ended(dialog.get(), &TfrmFind::searchEnded);
    dialog->butOK->click();
    WaitForEnd(ended);
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].kind, BoxKind::Warning);
    EXPECT_EQ(shown[0].text, "Problem generating methods.");
    ExpectIdle();
    EXPECT_FALSE(dialog->lblTotals1->isVisibleTo(dialog.get()));
    EXPECT_FALSE(dialog->lblTotals2->isVisibleTo(dialog.get()));
    EXPECT_EQ(ReadFile(dir.Path("Library") + "/Find_Lib.dbf"), before);
}

TEST_F(FindDialog, RemembersTheChoicesForTheSameNumberOfBells)
{
    const auto groups = [this] {
        QStringList items;
        for (int i = 0; i < dialog->cboGroup->count(); ++i) {
            items << dialog->cboGroup->itemText(i);
        }
        return items.join(',');
    };
    dialog->Prepare(*longMethod, reset);
    EXPECT_EQ(groups(), "ALL,A,B,C,D,E,F,G,H,J,K,L,M");
    EXPECT_EQ(dialog->typeButtons->checkedId(), 0);
    dialog->typeButtons->button(1)->click();
    dialog->cboGroup->setCurrentIndex(dialog->cboGroup->findText("K"));
    dialog->chkRightPlaces->setChecked(true);
    dialog->butCancel->click();

    auto cambridge = Method(8, "CAMBRIDGE SURPRISE MAJOR", "-38-14-1258-36-14-58-16-78LH12");
    dialog->Prepare(*cambridge, reset);
    EXPECT_EQ(dialog->typeButtons->checkedId(), 1);
    EXPECT_EQ(dialog->cboGroup->currentText(), "K");
    EXPECT_TRUE(dialog->chkRightPlaces->isChecked());
    EXPECT_EQ(dialog->lblMethod->text(), "CAMBRIDGE SURPRISE MAJOR\n-3-4-25-36-4-5-6-7 LH2");

    dialog->Prepare(*plainBob, reset); // another stage starts from the first entries
    EXPECT_EQ(groups(), "ALL,A,B,E,F,G,H,L,M");
    EXPECT_EQ(dialog->typeButtons->checkedId(), 0);
    EXPECT_EQ(dialog->cboGroup->currentText(), "ALL");
    EXPECT_FALSE(dialog->chkRightPlaces->isChecked());
    auto doubles = Method(5, "PLAIN BOB DOUBLES", "5.1.5.1.5LH125");
    dialog->Prepare(*doubles, reset);
    EXPECT_EQ(groups(), "ALL,P,Q,R,S");
}

} // namespace
} // namespace tambrel
