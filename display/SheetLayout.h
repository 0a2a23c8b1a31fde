#pragma once

#include "analysis/ColumnSheet.h"

#include <string>
#include <vector>

namespace tambrel {

// What a column sheet is laid out on, in device pixels of the target.
struct SheetGeometry {
    bool print = false; // printer pages of `height`; otherwise one picture that grows
    int width = 0;      // of the picture or the printer page
    int height = 0;     // of the printer page
    int bodyTop = 0;    // below the heading
    int lineHeight = 1;
    int columnWidth = 0;
    int charWidth = 0; // of "8" in the body font
};

enum class SheetTextStyle { Bold, BoldUnderlined, Underlined, Regular };

// One text of the body, its top-left corner at (x, y).
struct PlacedText {
    int x = 0;
    int y = 0;
    std::string text;
    SheetTextStyle style = SheetTextStyle::Regular;
};

// Where every text of a sheet's body goes. The picture is one page; a print has a page for each
// row of columns that does not fit below the last, and each band of sections starts a new page.
struct SheetLayout {
    std::vector<std::vector<PlacedText>> pages;
    int height = 0; // on the picture: the last row of columns' top plus its lines and one more
    int bands = 1;  // printed bands of sections, each with the lead headings again
};

// Lays the columns out left to right from x = 10, one per lead, each starting a further row of
// columns below when it would pass the width (its last three character places may). On paper
// the sections are put into bands of whole sections that fit a page below the heading and the
// lead heading; a section taller than that is split, each part under the section's heading
// again. Every band starts a new page, and a row of columns that would pass the bottom of the
// page starts another.
SheetLayout LayOutSheet(const ColumnSheet& sheet, const SheetGeometry& geometry);

} // namespace tambrel
