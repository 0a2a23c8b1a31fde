#include "library/TfrmDataMod.h"

#include "tables/DelimitedAppend.h"
#include "tables/FileIo.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tambrel {

namespace {

struct TableFile {
    std::string_view code;
    TDbf TfrmDataMod::*cursor;
    std::string_view file;
};

// In this order: the rows of the table codes.
constexpr TableFile kTableFiles[] = {
    {"MAIN", &TfrmDataMod::dbfMethods, "Methods.dbf"},
    {"PERSONAL", &TfrmDataMod::dbfMethods, "My_Lib.dbf"},
    {"FIND_LIB", &TfrmDataMod::dbfMethods, "Find_Lib.dbf"},
    {"CALLS", &TfrmDataMod::dbfCalls, "Calls.dbf"},
    {"OPTIONS", &TfrmDataMod::dbfOptions, "Options.dbf"},
    {"FIND_BUILD", &TfrmDataMod::dbfTemp, "Find_Lib.dbf"},
    {"MYLIB_CHECK", &TfrmDataMod::dbfTemp, "My_Lib.dbf"},
    {"IMPORTMETHS", &TfrmDataMod::dbfImportMeths, "ImpMeths.dbf"},
    {"IMPORTCALLS", &TfrmDataMod::dbfImportCalls, "ImpCalls.dbf"},
};

bool Writable(const std::filesystem::path& folder)
{
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

} // namespace

std::filesystem::path DefaultLibraryFolder(const std::filesystem::path& programFolder)
{
    const std::filesystem::path beside = programFolder / "Library";
    if (Writable(beside)) {
        return beside;
    }
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome == '/') {
        return std::filesystem::path(dataHome) / "tambrel" / "Library";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share" / "tambrel" /
           "Library";
}

std::filesystem::path BundledDataFolder(const std::filesystem::path& programFolder)
{
    std::error_code ec;
    for (const std::filesystem::path& candidate :
         {programFolder / "data", programFolder / ".." / "share" / "tambrel" / "data"}) {
        if (std::filesystem::exists(candidate / "Methods.csv", ec)) {
            return candidate;
        }
    }
#ifdef TAMBREL_SOURCE_DATA_DIR
    return TAMBREL_SOURCE_DATA_DIR;
#else
    return programFolder / "data";
#endif
}

TfrmDataMod::TfrmDataMod(std::filesystem::path libraryFolder, std::filesystem::path dataFolder)
    : m_folder(std::move(libraryFolder)), m_data(std::move(dataFolder))
{
    dbfImportMeths.SetDbfFileName(m_folder / "ImpMeths.dbf");
    dbfImportCalls.SetDbfFileName(m_folder / "ImpCalls.dbf");
}

Status TfrmDataMod::frmDataModCreate()
{
    if (Status made = EnsureTables(); !made) {
        return made;
    }
    // Held for reading: other programs may read them too while this one runs.
    Status status = Open(dbfCalls, "Calls.dbf", TableAccess::Read);
    if (!status) {
        return status;
    }
    return Open(dbfOptions, "Options.dbf", TableAccess::Read);
}

Status TfrmDataMod::BuildFromBundled(std::string_view file, const TableLayout& layout,
                                     const std::vector<IndexDef>& tags, std::string_view source)
{
    // Built whole in a folder of its own and moved in, so a table never exists half-filled.
    std::filesystem::path building;
    if (Status made = MakeTemporaryFolder(m_folder, ".building", building); !made) {
        return made;
    }
    std::error_code ec;
    const std::filesystem::path table = building / file;
    Status status = CreateTable(table, layout);
    if (status && !source.empty()) {
        TDbf cursor(tags, layout);
        cursor.SetDbfFileName(table);
        status = cursor.Open();
        if (status) {
            const DelimitedReport report = AppendFromDelimited(cursor, m_data / source);
            status = report.status;
            if (report.overWide > 0) {
                m_warnings.push_back(std::string(source) + ": " + std::to_string(report.overWide) +
                                     " records with values too wide for the table were left out.");
            }
            if (report.malformed > 0) {
                m_warnings.push_back(std::string(source) + ": " + std::to_string(report.malformed) +
                                     " lines that are not whole records were left out.");
            }
            if (report.control > 0) {
                m_warnings.push_back(std::string(source) + ": " + std::to_string(report.control) +
                                     " records with control characters were left out.");
            }
            if (report.transliterated > 0) {
                std::string names;
                for (const std::string& value : report.transliteratedValues) {
                    names += (names.empty() ? "" : ", ") + value;
                }
                if (report.transliteratedValues.size() < report.transliterated) {
                    names += ", ...";
                }
                m_warnings.push_back(std::string(source) + ": " +
                                     std::to_string(report.transliterated) +
                                     " values have letters that code page 850 lacks; they are "
                                     "stored with plain letters: " +
                                     names + ".");
            }
        }
        if (Status closed = cursor.Close(); status && !closed) {
            status = closed;
        }
    } else if (status) {
        TDbf cursor(tags, layout); // an empty table gets its index file at once
        cursor.SetDbfFileName(table);
        status = cursor.Open();
        if (Status closed = cursor.Close(); status && !closed) {
            status = closed;
        }
    }
    if (status) {
        // The index first: a table without its index is mended on open, the reverse is not
        // possible.
        for (const auto& entry : std::filesystem::directory_iterator(building, ec)) {
            if (entry.path().extension() != ".dbf") {
                std::filesystem::rename(entry.path(), m_folder / entry.path().filename(), ec);
            }
        }
        std::filesystem::rename(table, m_folder / file, ec);
        if (ec) {
            status = Status::Fail("Cannot move the new table " + std::string(file) + " into " +
                                  m_folder.string() + ": " + ec.message() + ".");
        }
    }
    std::filesystem::remove_all(building, ec);
    return status;
}

void TfrmDataMod::RemoveStagingLeftovers()
{
    // An import holds its library table alone for as long as its staging table exists, so a
    // staging table whose library and itself can both be locked is no running import's.
    constexpr std::pair<std::string_view, std::string_view> kStaging[] = {
        {"ImpMeths.dbf", "Methods.dbf"}, {"ImpCalls.dbf", "Calls.dbf"}};
    for (const auto& [staging, library] : kStaging) {
        const auto found = FindIgnoringCase(m_folder, staging);
        struct stat info {};
        if (!found || ::lstat(found->c_str(), &info) != 0 || info.st_uid != ::getuid()) {
            continue;
        }
        FileLock stagingLock;
        FileLock libraryLock;
        const auto held = FindIgnoringCase(m_folder, library);
        if (!stagingLock.Acquire(*found) || (held && !libraryLock.Acquire(*held))) {
            continue;
        }
        std::error_code ec;
        if (std::filesystem::remove(*found, ec)) {
            m_warnings.push_back("Removed " + found->filename().string() +
                                 ", left in the library folder by a program that was stopped.");
        }
    }
}

Status TfrmDataMod::EnsureTables(std::vector<std::string>* created)
{
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    if (ec || !std::filesystem::is_directory(m_folder)) {
        return Status::Fail("Cannot make the library folder " + m_folder.string() + ".");
    }
    // What a program killed while writing left behind goes; a running one's stays.
    for (const std::string& leftover : RemoveLeftovers(m_folder)) {
        m_warnings.push_back("Removed " + leftover +
                             ", left in the library folder by a program that was stopped.");
    }
    RemoveStagingLeftovers();
    struct Needed {
        std::string_view file;
        const TableLayout& layout;
        const std::vector<IndexDef>& tags;
        std::string_view source;
    };
    static const std::vector<IndexDef> kNoTags;
    const Needed needed[] = {
        {"Methods.dbf", kMethodLayout, kMethodTags, "Methods.csv"},
        {"My_Lib.dbf", kMethodLayout, kMethodTags, ""},
        {"Find_Lib.dbf", kMethodLayout, kMethodTags, ""},
        {"Calls.dbf", kCallsLayout, kCallsTags,
         std::filesystem::exists(m_data / "Calls.csv", ec) ? "Calls.csv" : ""},
        {"Options.dbf", kOptionsLayout, kNoTags, ""},
    };
    for (const Needed& table : needed) {
        if (FindIgnoringCase(m_folder, table.file)) {
            continue;
        }
        if (Status built = BuildFromBundled(table.file, table.layout, table.tags, table.source);
            !built) {
            return built;
        }
        if (created != nullptr) {
            created->emplace_back(table.file);
        }
    }
    return {};
}

Status TfrmDataMod::Open(TDbf& cursor, std::string_view file, TableAccess access)
{
    const std::filesystem::path path = m_folder / file;
    if (cursor.Active() && cursor.DbfFileName() == path) {
        if (access == TableAccess::Read || cursor.Access() != TableAccess::Read) {
            return {};
        }
        if (Status closed = cursor.Close(); !closed) {
            return closed;
        }
    }
    cursor.SetDbfFileName(path);
    Status status = cursor.Open(access);
    for (const std::string& warning : cursor.Warnings()) {
        m_warnings.push_back(warning);
    }
    return status;
}

Status TfrmDataMod::OpenTables(std::string_view codes, TableAccess access)
{
    for (const TableFile& row : kTableFiles) {
        if (codes.find(row.code) == std::string_view::npos) {
            continue;
        }
        TDbf& cursor = this->*row.cursor;
        const bool staging = row.code == "IMPORTMETHS" || row.code == "IMPORTCALLS";
        if (staging && !FindIgnoringCase(m_folder, row.file)) {
            const TableLayout& layout = row.code == "IMPORTMETHS" ? kMethodLayout : kCallsLayout;
            if (Status made = CreateTable(m_folder / row.file, layout); !made) {
                return made;
            }
        }
        if (Status opened = Open(cursor, row.file, access); !opened) {
            return opened;
        }
    }
    return {};
}

Status TfrmDataMod::CloseTables()
{
    Status first;
    for (TDbf* cursor :
         {&dbfMethods, &dbfCalls, &dbfOptions, &dbfTemp, &dbfImportMeths, &dbfImportCalls}) {
        if (Status closed = cursor->Close(); !closed && first) {
            first = closed;
        }
    }
    return first;
}

Status TfrmDataMod::ReindexTables()
{
    Status status = CloseTables();
    if (!status) {
        return status;
    }
    // Every table is locked before any index is deleted: one in use elsewhere refuses the
    // command while everything is still as it was.
    constexpr std::string_view kIndexed[] = {"Methods.dbf", "My_Lib.dbf", "Find_Lib.dbf",
                                             "Calls.dbf"};
    std::vector<FileLock> locks(std::size(kIndexed));
    for (std::size_t i = 0; i < std::size(kIndexed); ++i) {
        const auto found = FindIgnoringCase(m_folder, kIndexed[i]);
        if (!found) {
            return Status::Fail("The table " + (m_folder / kIndexed[i]).string() +
                                " does not exist.");
        }
        if (status = locks[i].Acquire(*found); !status) {
            return status;
        }
    }
    for (const std::string_view index :
         {"Methods.mdx", "My_Lib.mdx", "Find_Lib.mdx", "Calls.mdx"}) {
        if (const auto found = FindIgnoringCase(m_folder, index)) {
            std::error_code ec;
            std::filesystem::remove(*found, ec);
        }
    }
    for (const std::string_view codes : {"MAIN", "PERSONAL", "FIND_LIB,CALLS"}) {
        if (codes == "MAIN") {
            dbfMethods.AdoptLock(std::move(locks[0]));
        } else if (codes == "PERSONAL") {
            dbfMethods.AdoptLock(std::move(locks[1]));
        } else {
            dbfMethods.AdoptLock(std::move(locks[2]));
            dbfCalls.AdoptLock(std::move(locks[3]));
        }
        status = OpenTables(codes, TableAccess::Repair);
        if (status) {
            status = dbfMethods.Pack();
        }
        if (status && codes.find("CALLS") != std::string_view::npos) {
            status = dbfCalls.Pack();
        }
        if (Status closed = CloseTables(); status && !closed) {
            status = closed;
        }
        if (!status) {
            return status;
        }
    }
    return status;
}

std::vector<std::string> TfrmDataMod::TakeWarnings()
{
    std::vector<std::string> out = std::move(m_warnings);
    m_warnings.clear();
    return out;
}

} // namespace tambrel
