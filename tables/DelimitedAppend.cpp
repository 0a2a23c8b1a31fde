#include "tables/DelimitedAppend.h"

#include "tables/Delimited.h"
#include "tables/FileIo.h"

namespace tambrel {

std::size_t DelimitedReport::FirstSkippedLine() const
{
    std::size_t first = 0;
    for (const std::vector<std::size_t>* lines : {&overWideLines, &malformedLines, &controlLines}) {
        if (!lines->empty() && (first == 0 || lines->front() < first)) {
            first = lines->front();
        }
    }
    return first;
}

DelimitedReport AppendFromDelimited(TDbf& table, const std::filesystem::path& path)
{
    DelimitedReport report;
    if (table.Access() == TableAccess::Read) {   // not open, or open for reading
        report.status = table.AppendRecords({}); // refused, and says why
        return report;
    }
    InputFile file;
    if (Status opened = file.Open(path, kMaxStreamedImportBytes); !opened) {
        report.status = opened;
        return report;
    }
    Status readError;
    LineReader lines([&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        std::size_t got = 0;
        if (Status read = file.Read(buffer, size, got); !read) {
            readError = read;
            return -1;
        }
        return static_cast<std::ptrdiff_t>(got);
    });
    const std::size_t length = table.RecordLength();
    const std::size_t room = table.RecordRoom(); // the table must stay one that can be read again
    const auto note = [](std::vector<std::size_t>& numbers, std::size_t number) {
        if (numbers.size() < DelimitedReport::kReportedLines) {
            numbers.push_back(number);
        }
    };
    std::string records;
    std::string line;
    std::string record;
    std::vector<std::string> transliterated;
    bool overlong = false;
    Status outcome;
    while (lines.Next(line, overlong)) {
        const std::size_t number = lines.LineNumber();
        if (number == 1) {
            StripByteOrderMark(line);
        }
        transliterated.clear();
        switch (MakeDelimitedRecord(line, overlong, table.Fields(), length, table.TextCodePage(),
                                    record, transliterated)) {
        case DelimitedLine::Blank:
            continue;
        case DelimitedLine::OverWide:
            ++report.overWide;
            note(report.overWideLines, number);
            continue;
        case DelimitedLine::Malformed:
            ++report.malformed;
            note(report.malformedLines, number);
            continue;
        case DelimitedLine::Control:
            ++report.control;
            note(report.controlLines, number);
            continue;
        case DelimitedLine::Record:
            break;
        }
        if (records.size() + length > room) {
            outcome = Status::Fail("Cannot read " + path.string() +
                                   ": it holds more records than a table can, which is 256 MB.");
            break;
        }
        if (!transliterated.empty()) {
            report.transliterated += transliterated.size();
            note(report.transliteratedLines, number);
            for (std::string& value : transliterated) {
                if (report.transliteratedValues.size() < DelimitedReport::kReportedLines) {
                    report.transliteratedValues.push_back(std::move(value));
                }
            }
        }
        if (report.firstLine == 0) {
            report.firstLine = number;
        }
        records += record;
        ++report.appended;
    }
    if (outcome && lines.Failed()) {
        outcome = readError;
    }
    if (!outcome) { // nothing of a file that was not read whole
        report = DelimitedReport{};
        report.status = outcome;
        return report;
    }
    report.status = table.AppendRecords(records);
    return report;
}

} // namespace tambrel
