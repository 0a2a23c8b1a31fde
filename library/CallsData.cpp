#include "library/CallsData.h"

#include "engine/TextFunctions.h"
#include "library/LibraryTables.h"
#include "tables/Delimited.h"
#include "tables/FileIo.h"

#include <charconv>
#include <sstream>
#include <vector>

namespace tambrel {

namespace {

constexpr std::size_t kMaxCallNotation = 20; // the width of the calls table's places field

int BellsOf(const std::string& text)
{
    int bells = 0;
    const std::string trimmed = Trim(text);
    const auto [ptr, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), bells);
    return ec == std::errc{} && ptr == trimmed.data() + trimmed.size() ? bells : -1;
}

void AddCall(CallsLibrary& library, const std::string& bells, const std::string& ref,
             const std::string& name, const std::string& places, const std::string& lines,
             std::vector<std::string>* warnings = nullptr)
{
    const int count = BellsOf(bells);
    if (count == 0) {
        library.buildText = Trim(places);
        return;
    }
    if (count < 0) {
        return;
    }
    const std::string notation = Trim(places);
    if (notation.size() > kMaxCallNotation) {
        // Cut, it would be another call; so it is not used at all, and the user is told.
        if (warnings != nullptr) {
            warnings->push_back(
                "The call " + Trim(name) + " (" + std::to_string(count) + " bells, " + Trim(ref) +
                ") has a notation of " + std::to_string(notation.size()) + " characters; at most " +
                std::to_string(kMaxCallNotation) + " fit the calls table, so it is left out.");
        }
        return;
    }
    library.Add(count, ref, Trim(name), notation, Trim(lines));
}

} // namespace

CallsLibrary ReadCallsTable(TDbf& calls)
{
    CallsLibrary library;
    const std::string order(calls.CurrentTag());
    calls.SetOrderToTag("");
    for (calls.GoTop(); !calls.Eof(); calls.Skip()) {
        AddCall(library, calls.FieldText("bells"), calls.FieldText("call_ref"),
                calls.FieldText("name"), calls.FieldText("places"), calls.FieldText("lines"));
    }
    calls.SetOrderToTag(order);
    return library;
}

std::optional<CallsLibrary> ReadCallsFile(const std::filesystem::path& path, std::string& error,
                                          std::vector<std::string>* warnings)
{
    std::string text;
    if (Status read = ReadRegularFile(path, text, kMaxImportBytes); !read) {
        error = read.error;
        return std::nullopt;
    }
    std::istringstream in(text);
    CallsLibrary library;
    bool first = true;
    for (std::string line; std::getline(in, line);) {
        if (first) {
            StripByteOrderMark(line);
        }
        if (Trim(line).empty() || Trim(line) == "\r") {
            continue;
        }
        std::vector<std::string> values = SplitDelimitedLine(line);
        values.resize(5);
        if (first && (Trim(values[0]) != "0" || Trim(values[2]) != kCallsLibraryMarker)) {
            error = "The calls file " + path.string() + " does not begin with its marker record.";
            return std::nullopt;
        }
        first = false;
        AddCall(library, values[0], values[1], values[2], values[3], values[4], warnings);
    }
    if (first) {
        error = "The calls file " + path.string() + " is empty.";
        return std::nullopt;
    }
    return library;
}

} // namespace tambrel
