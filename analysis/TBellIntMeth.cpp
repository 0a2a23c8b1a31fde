#include "analysis/TBellIntMeth.h"

#include "analysis/Messages.h"
#include "analysis/TBellFCH.h"
#include "engine/TBellStore.h"

namespace tambrel {

SecondMethod SecondMethod::Of(int slot, const TBellStore& store)
{
    return SecondMethod{slot, store.Bells(), store.Name(), store.PlaceNotation()};
}

bool SecondMethod::Matches(const TBellStore* store) const
{
    // The rows depend on the bells and the notation alone; the name heads the sheet.
    return slot != 0 && store != nullptr && store->Bells() == bells && store->Name() == name &&
           store->PlaceNotation() == notation;
}

std::vector<SheetSection> TBellIntMeth::Sections(int bells, const FchDisplay& display)
{
    return TBellComp::Sections(bells, display, false);
}

std::string TBellIntMeth::Refusal(const TBellStore& a)
{
    if (a.Bells() < 7) {
        return std::string(kMsgIntMethFewBells);
    }
    if (a.CourseTooLong()) {
        return std::string(kMsgIntMethTooLong);
    }
    return {};
}

std::string TBellIntMeth::Refusal(const TBellStore& a, const TBellStore& b)
{
    if (std::string refusal = Refusal(a); !refusal.empty()) {
        return refusal;
    }
    if (b.Bells() != a.Bells()) {
        return std::string(kMsgIntMethStages);
    }
    // Falseness against part of B's course would look complete.
    if (b.CourseTooLong()) {
        return std::string(kMsgIntMethTooLong);
    }
    return {};
}

ColumnSheet TBellIntMeth::Calculate(const TBellStore& a, const TBellStore& b,
                                    const FchDisplay& display, TBellFCH& fch)
{
    ColumnSheet sheet;
    sheet.title = "Plain Course of " + a.Name();
    sheet.subtitle = "Against FCH's of " + b.Name();
    sheet.bells = a.Bells();
    sheet.sections = Sections(a.Bells(), display);
    const int leads = a.LeadsInCourse();
    sheet.columns.reserve(static_cast<std::size_t>(leads));
    for (int lead = 1; lead <= leads; ++lead) {
        SheetColumn& column = sheet.columns.emplace_back();
        column.lead = lead;
        column.firstRow = a.GetRowText((lead - 1) * a.LeadLength());
        fch.Search(a, b, lead, true, false);
        TBellComp::AddFchEntries(column, sheet, fch);
    }
    return sheet;
}

} // namespace tambrel
