#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// The sections a column of the composition and inter-method sheets can have, in the order they
// stand down the column.
enum class SheetSection { RollUps, Even, Odd, SplitEven, SplitOdd };

inline constexpr std::size_t kSheetSections = 5;

// The section's heading: one line, or for the split-tenor sections two ("Split FCH", " (Even)").
std::string_view SectionHeading(SheetSection section);
std::string_view SectionSubheading(SheetSection section); // "" for the one-line headings
int HeadingLines(SheetSection section);

// One lead's column: the lead, its first row and the entries of each section as drawn.
struct SheetColumn {
    int lead = 0; // 1..leads of the course
    std::string firstRow;
    std::array<std::vector<std::string>, kSheetSections> entries{};

    const std::vector<std::string>& Entries(SheetSection section) const
    {
        return entries[static_cast<std::size_t>(section)];
    }
    std::vector<std::string>& Entries(SheetSection section)
    {
        return entries[static_cast<std::size_t>(section)];
    }
};

// A sheet of lead columns as values, for the display to lay out and paint. Every section stands
// at the same height in every column, so each is as tall as its longest list.
struct ColumnSheet {
    std::string title;
    std::string subtitle;
    int bells = 0;
    std::vector<SheetSection> sections; // those shown, in order
    std::vector<SheetColumn> columns;   // one per lead, in lead order

    bool Shows(SheetSection section) const;
    // The most entries any column has in `section`.
    int Largest(SheetSection section) const;
    // Lines a section takes in every column: its heading, its longest list and a blank line.
    int SectionLines(SheetSection section) const;
    // Lines from a column's lead heading to its last entry line: the lead heading, the first
    // row and a blank line, then the sections, without the last one's blank line.
    int RowLines() const;
};

} // namespace tambrel
