#include "app/gui/TfrmFind.h"
#include "engine/TextFunctions.h"
#include "library/LibraryTables.h"
#include "tests/app/GuiFixture.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace tambrel {
namespace {

// The find dialog over the small library, whose one 6-bell method the search finds again.
class FindDialog : public test::GuiFixture {
protected:
    void SetUp() override { ASSERT_TRUE(data.EnsureTables()); }

    // Starts a search with `ending` (nothing: let it run out) and waits for its end.
    void Search(const std::function<void()>& ending = {})
    {
        QSignalSpy ended(&dialog, &TfrmFind::searchEnded);
        dialog.butOK->click();
        if (ending) {
            EXPECT_TRUE(dialog.butStop->isEnabled());
            EXPECT_FALSE(dialog.butOK->isEnabled());
            EXPECT_FALSE(dialog.butCancel->isEnabled());
            EXPECT_FALSE(dialog.cboGroup->isEnabled());
            // The counters move meanwhile.
            EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.lblChecked->text() != "0"; }));
            ending();
        }
        ASSERT_TRUE(ended.count() > 0 || ended.wait(60'000));
        EXPECT_FALSE(dialog.Searching());
        EXPECT_TRUE(dialog.butOK->isEnabled());
        EXPECT_TRUE(dialog.butCancel->isEnabled());
        EXPECT_FALSE(dialog.butStop->isEnabled());
    }
    std::string FindLibrary() const { return test::ReadFile(dir.Library() + "/Find_Lib.dbf"); }
    std::uint32_t FindLibraryCount() const
    {
        TDbf table(kMethodTags, kMethodLayout);
        table.SetDbfFileName(dir.Library() + "/Find_Lib.dbf");
        EXPECT_TRUE(table.Open(TableAccess::Read));
        return table.RecordCount();
    }
    QString Groups() const { return test::Items(dialog.cboGroup).join(','); }

    TfrmFind dialog{data, messages, *help};
    std::unique_ptr<TBellStore> plainBob = test::Calculated(6, "x16x16x16LH12", "PLAIN BOB MINOR");
    // A long search: forty changes of Major whose treble dodges at the back for most of the
    // lead, where the most places can be varied below it.
    std::unique_ptr<TBellStore> forty =
        test::Calculated(8, "-18-18-18-16-16-16-16-16-16-16 LH 12", "FORTY MAJOR");
    bool reset = false;
};

TEST_F(FindDialog, SearchesShowsTheTotalsAndSaysWhenItFails)
{
    dialog.Prepare(*plainBob, reset);
    EXPECT_EQ(dialog.lblChecked->text(), "0");
    EXPECT_FALSE(dialog.lblTotals1->isVisibleTo(&dialog));
    Search();
    EXPECT_TRUE(reset);
    EXPECT_EQ(dialog.lblChecked->text(), "81");
    EXPECT_EQ(dialog.lblFound->text(), "13");
    EXPECT_EQ(dialog.lblTotals1->text(), "12 New Methods and 1 Existing Methods");
    EXPECT_EQ(dialog.lblTotals2->text(), "have been saved in the Method Find Library");
    EXPECT_TRUE(dialog.lblTotals2->isVisibleTo(&dialog));
    EXPECT_EQ(FindLibraryCount(), 13U);
    EXPECT_TRUE(shown.empty());

    // Another choice: the counters start again and the totals go.
    dialog.typeButtons->button(1)->click();
    EXPECT_EQ(dialog.lblFound->text(), "0");
    EXPECT_FALSE(dialog.lblTotals1->isVisibleTo(&dialog));

    // The find library held by another program: said, and left as it was.
    const std::string before = FindLibrary();
    TDbf held(kMethodTags, kMethodLayout);
    held.SetDbfFileName(dir.Library() + "/Find_Lib.dbf");
    ASSERT_TRUE(held.Open(TableAccess::Read));
    Search();
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].kind, BoxKind::Warning);
    EXPECT_EQ(shown[0].text, "Problem generating methods.");
    EXPECT_FALSE(dialog.lblTotals1->isVisibleTo(&dialog));
    EXPECT_EQ(FindLibrary(), before);
}

TEST_F(FindDialog, StopEscapeAndCloseEndTheSearchAtOnce)
{
    dialog.Prepare(*forty, reset);
    dialog.show();
    for (const std::function<void()>& ending : std::vector<std::function<void()>>{
             [this] { dialog.butStop->click(); },
             [this] { QTest::keyClick(&dialog, Qt::Key_Escape); }, [this] { dialog.close(); }}) {
        Search(ending);
        EXPECT_TRUE(dialog.isVisible()); // the dialog stays; the search ended
        EXPECT_TRUE(dialog.Outcome().stopped);
        const FindCounts& counts = dialog.Outcome().counts;
        EXPECT_GT(counts.possibilities, 0U);
        EXPECT_EQ(dialog.lblChecked->text().toStdString(), GroupThousands(counts.possibilities));
        EXPECT_EQ(dialog.lblFound->text().toStdString(), GroupThousands(counts.found));
        EXPECT_TRUE(dialog.lblTotals1->isVisible());
        EXPECT_EQ(FindLibraryCount(), counts.found); // what was stored is there to browse
    }
    QTest::keyClick(&dialog, Qt::Key_Escape); // idle: Escape closes as ever
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(shown.empty());
}

TEST_F(FindDialog, RemembersTheChoicesForTheSameNumberOfBells)
{
    dialog.Prepare(*forty, reset);
    EXPECT_EQ(Groups(), "ALL,A,B,C,D,E,F,G,H,J,K,L,M");
    EXPECT_EQ(dialog.typeButtons->checkedId(), 0);
    dialog.typeButtons->button(1)->click();
    dialog.cboGroup->setCurrentIndex(dialog.cboGroup->findText("K"));
    dialog.chkRightPlaces->setChecked(true);
    dialog.butCancel->click();

    const auto cambridge =
        test::Calculated(8, "-38-14-1258-36-14-58-16-78LH12", "CAMBRIDGE SURPRISE MAJOR");
    dialog.Prepare(*cambridge, reset);
    EXPECT_EQ(dialog.typeButtons->checkedId(), 1);
    EXPECT_EQ(dialog.cboGroup->currentText(), "K");
    EXPECT_TRUE(dialog.chkRightPlaces->isChecked());
    EXPECT_EQ(dialog.lblMethod->text(), "CAMBRIDGE SURPRISE MAJOR\n-3-4-25-36-4-5-6-7 LH2");

    dialog.Prepare(*plainBob, reset); // another stage starts from the first entries
    EXPECT_EQ(Groups(), "ALL,A,B,E,F,G,H,L,M");
    EXPECT_EQ(dialog.typeButtons->checkedId(), 0);
    EXPECT_EQ(dialog.cboGroup->currentText(), "ALL");
    EXPECT_FALSE(dialog.chkRightPlaces->isChecked());
}

} // namespace
} // namespace tambrel
