#include "analysis/TBellComp.h"

#include "analysis/Messages.h"
#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "engine/TBellStore.h"

#include <array>
#include <utility>

namespace tambrel {

namespace {

constexpr std::array<std::pair<TBellFCH::List, SheetSection>, 4> kFchSections = {{
    {TBellFCH::List::InCourse, SheetSection::Even},
    {TBellFCH::List::OutOfCourse, SheetSection::Odd},
    {TBellFCH::List::SplitIn, SheetSection::SplitEven},
    {TBellFCH::List::SplitOut, SheetSection::SplitOdd},
}};

} // namespace

void TBellComp::AddFchEntries(SheetColumn& column, const ColumnSheet& sheet, const TBellFCH& fch)
{
    for (const auto& [list, section] : kFchSections) {
        if (!sheet.Shows(section)) {
            continue;
        }
        std::vector<std::string>& entries = column.Entries(section);
        for (int k = 1; k <= fch.Count(list); ++k) {
            entries.push_back(fch.Entry(list, k));
        }
    }
}

std::vector<SheetSection> TBellComp::Sections(int bells, const FchDisplay& display, bool rollUps)
{
    std::vector<SheetSection> sections;
    if (rollUps) {
        sections.push_back(SheetSection::RollUps);
    }
    sections.push_back(SheetSection::Even);
    if (display.oddFch) {
        sections.push_back(SheetSection::Odd);
    }
    if (bells == 8 && display.splitTenorFch) {
        sections.push_back(SheetSection::SplitEven);
        if (display.oddFch) {
            sections.push_back(SheetSection::SplitOdd);
        }
    }
    return sections;
}

std::string TBellComp::Refusal(const TBellStore& store)
{
    if (store.Bells() < 7) {
        return std::string(kMsgCompFewBells);
    }
    if (store.CourseTooLong()) {
        return std::string(kMsgCompTooLong);
    }
    return {};
}

ColumnSheet TBellComp::Calculate(const TBellStore& store, const FchDisplay& display, TBellFCH& fch,
                                 TBellRolls& rolls)
{
    ColumnSheet sheet;
    sheet.title = store.Name();
    sheet.subtitle = "Composition Sheet";
    sheet.bells = store.Bells();
    sheet.sections = Sections(store.Bells(), display, true);
    const int leads = store.LeadsInCourse();
    sheet.columns.reserve(static_cast<std::size_t>(leads));
    for (int lead = 1; lead <= leads; ++lead) {
        SheetColumn& column = sheet.columns.emplace_back();
        column.lead = lead;
        column.firstRow = store.GetRowText((lead - 1) * store.LeadLength());
        rolls.Count(store, lead);
        for (int k = 1; k <= rolls.PatternCount(); ++k) {
            column.Entries(SheetSection::RollUps).push_back(rolls.Pattern(k));
        }
        fch.Search(store, store, lead, true, display.tb2Notation);
        AddFchEntries(column, sheet, fch);
    }
    return sheet;
}

} // namespace tambrel
