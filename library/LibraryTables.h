#pragma once

#include "tables/TDbf.h"

#include <string_view>
#include <vector>

namespace tambrel {

// The layouts of the library tables.
inline const TableLayout kMethodLayout = {{"bells", 2}, {"name", 60}, {"places", 98}, {"group", 2}};
inline const TableLayout kCallsLayout = {
    {"bells", 2}, {"call_ref", 2}, {"name", 20}, {"places", 20}, {"lines", 10}};
inline const TableLayout kOptionsLayout = {{"option", 15}, {"value", 30}};

// Tags of the method tables (main, personal, find library) and of the calls library.
inline const std::vector<IndexDef> kMethodTags = {
    {"NAME", "bells + Upper(name)"},
    {"PLACES", "bells + Upper(places)"},
    {"GRPNAME", "bells + Upper(group + name)"},
    {"GRPPLACES", "bells + Upper(left(group + places,98))"},
};
inline const std::vector<IndexDef> kCallsTags = {
    {"REF", "Bells + Call_Ref"},
    {"NAME", "Bells + Name"},
};

// Marker names of the header records of the main and calls libraries (bells "0").
inline constexpr std::string_view kMethodLibraryMarker = "TB_Method_Library";
inline constexpr std::string_view kCallsLibraryMarker = "TB_Calls_Library";

} // namespace tambrel
