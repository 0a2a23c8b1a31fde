#include "display/SheetLayout.h"

#include <algorithm>

namespace tambrel {

namespace {

// The entries first..first + count - 1 of a section, in every column, under its heading.
struct Slice {
    SheetSection section;
    int first = 0;
    int count = 0;
};
using Band = std::vector<Slice>;

int SliceLines(const Slice& slice)
{
    return HeadingLines(slice.section) + slice.count + 1;
}

// From the lead heading to the band's last entry line: the lead heading, the first row and a
// blank line, then the slices, the last without its blank line.
int BandLines(const Band& band)
{
    int lines = 2;
    for (const Slice& slice : band) {
        lines += SliceLines(slice);
    }
    return lines;
}

Band WholeSheet(const ColumnSheet& sheet)
{
    Band band;
    for (const SheetSection section : sheet.sections) {
        band.push_back({section, 0, sheet.Largest(section)});
    }
    return band;
}

// Bands for pages of `pageLines` lines below the heading.
std::vector<Band> PrintedBands(const ColumnSheet& sheet, int pageLines)
{
    // Lines below the lead heading, its row and the blank line; never less than a heading and
    // one entry, so that even an absurdly short page moves on.
    const int room = std::max(pageLines - 3, 3);
    std::vector<Band> bands;
    Band band;
    int used = 0; // lines of the band's slices, each with its blank line
    for (const SheetSection section : sheet.sections) {
        const Slice whole{section, 0, sheet.Largest(section)};
        const int lines = SliceLines(whole);
        if (used + lines - 1 <= room) {
            band.push_back(whole);
            used += lines;
            continue;
        }
        if (!band.empty()) {
            bands.push_back(std::move(band));
            band.clear();
            used = 0;
        }
        if (lines - 1 <= room) {
            band.push_back(whole);
            used = lines;
            continue;
        }
        // Taller than a page: in parts, each under the section heading and the lead headings.
        const int perPage = std::max(room - HeadingLines(section), 1);
        for (int first = 0; first < whole.count; first += perPage) {
            const Slice part{section, first, std::min(perPage, whole.count - first)};
            if (first + part.count < whole.count) {
                bands.push_back({part});
            } else {
                band.push_back(part);
                used = SliceLines(part);
            }
        }
    }
    if (!band.empty()) {
        bands.push_back(std::move(band));
    }
    return bands;
}

void PlaceColumn(std::vector<PlacedText>& out, const SheetColumn& column, const Band& band, int x,
                 int top, int lineHeight)
{
    out.push_back({x, top, "(Lead " + std::to_string(column.lead) + ")", SheetTextStyle::Bold});
    out.push_back({x, top + lineHeight, column.firstRow, SheetTextStyle::BoldUnderlined});
    int line = 3;
    for (const Slice& slice : band) {
        out.push_back({x, top + line * lineHeight, std::string(SectionHeading(slice.section)),
                       SheetTextStyle::Underlined});
        if (HeadingLines(slice.section) > 1) {
            out.push_back({x, top + (line + 1) * lineHeight,
                           std::string(SectionSubheading(slice.section)),
                           SheetTextStyle::Underlined});
        }
        const std::vector<std::string>& entries = column.Entries(slice.section);
        const int end = std::min(slice.first + slice.count, static_cast<int>(entries.size()));
        for (int k = slice.first; k < end; ++k) {
            const int at = line + HeadingLines(slice.section) + k - slice.first;
            out.push_back({x, top + at * lineHeight, entries[static_cast<std::size_t>(k)],
                           SheetTextStyle::Regular});
        }
        line += SliceLines(slice);
    }
}

} // namespace

SheetLayout LayOutSheet(const ColumnSheet& sheet, const SheetGeometry& geometry)
{
    const int lh = std::max(geometry.lineHeight, 1);
    const std::vector<Band> bands =
        geometry.print ? PrintedBands(sheet, (geometry.height - geometry.bodyTop) / lh)
                       : std::vector<Band>{WholeSheet(sheet)};
    SheetLayout layout;
    layout.bands = static_cast<int>(bands.size());
    for (const Band& band : bands) {
        layout.pages.emplace_back();
        const int rowLines = BandLines(band);
        int x = 10;
        int top = geometry.bodyTop;
        for (std::size_t i = 0; i < sheet.columns.size(); ++i) {
            if (i > 0 && x + geometry.columnWidth - 3 * geometry.charWidth > geometry.width) {
                x = 10;
                top += (rowLines + 1) * lh;
                if (geometry.print && top + rowLines * lh > geometry.height) {
                    layout.pages.emplace_back();
                    top = geometry.bodyTop;
                }
            }
            PlaceColumn(layout.pages.back(), sheet.columns[i], band, x, top, lh);
            x += geometry.columnWidth;
        }
        layout.height = top + (rowLines + 1) * lh;
    }
    return layout;
}

} // namespace tambrel
