#include "analysis/ColumnSheet.h"

#include <algorithm>

namespace tambrel {

std::string_view SectionHeading(SheetSection section)
{
    switch (section) {
    case SheetSection::RollUps:
        return "Roll Ups";
    case SheetSection::Even:
        return "Even FCH";
    case SheetSection::Odd:
        return "Odd FCH";
    case SheetSection::SplitEven:
    case SheetSection::SplitOdd:
        break;
    }
    return "Split FCH";
}

std::string_view SectionSubheading(SheetSection section)
{
    if (section == SheetSection::SplitEven) {
        return " (Even)";
    }
    return section == SheetSection::SplitOdd ? " (Odd)" : "";
}

int HeadingLines(SheetSection section)
{
    return SectionSubheading(section).empty() ? 1 : 2;
}

bool ColumnSheet::Shows(SheetSection section) const
{
    return std::find(sections.begin(), sections.end(), section) != sections.end();
}

int ColumnSheet::Largest(SheetSection section) const
{
    std::size_t largest = 0;
    for (const SheetColumn& column : columns) {
        largest = std::max(largest, column.Entries(section).size());
    }
    return static_cast<int>(largest);
}

int ColumnSheet::SectionLines(SheetSection section) const
{
    return HeadingLines(section) + Largest(section) + 1;
}

int ColumnSheet::RowLines() const
{
    int lines = 2;
    for (const SheetSection section : sections) {
        lines += SectionLines(section);
    }
    return lines;
}

} // namespace tambrel
