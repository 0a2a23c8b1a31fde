#pragma once

#include "library/LibraryTables.h"
#include "tables/Status.h"
#include "tables/TDbf.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// The library folder for a program in `programFolder`: "Library" beside the program when it
// exists and is writable (a portable install, the build tree), else
// $XDG_DATA_HOME/tambrel/Library (~/.local/share/tambrel/Library).
std::filesystem::path DefaultLibraryFolder(const std::filesystem::path& programFolder);

// The folder of bundled library data (Methods.csv, Calls.csv) for a program in
// `programFolder`: "data" beside it, the installed "../share/tambrel/data", or the source tree's.
std::filesystem::path BundledDataFolder(const std::filesystem::path& programFolder);

// The data module: the six table cursors of the library folder, switched between the table
// files by table codes ("MAIN", "PERSONAL", "FIND_LIB", "CALLS", "OPTIONS", "FIND_BUILD",
// "MYLIB_CHECK", "IMPORTMETHS", "IMPORTCALLS", joined by commas).
class TfrmDataMod {
public:
    TfrmDataMod(std::filesystem::path libraryFolder, std::filesystem::path dataFolder);

    // Makes the folder and every table missing from it (the main and calls libraries filled
    // from the bundled data), then opens the calls and options tables.
    Status frmDataModCreate();

    // Creates the tables missing from the folder; `created` names them.
    Status EnsureTables(std::vector<std::string>* created = nullptr);

    // Opens the cursors the codes name; a code counts wherever it occurs in the text, and a
    // cursor already open on its file stays as it is (position, order and restriction), unless
    // it was opened for reading and `access` asks more: then it is opened again. Commands that
    // only read ask for TableAccess::Read, so they never change a table and never keep another
    // reader out.
    Status OpenTables(std::string_view codes, TableAccess access = TableAccess::Write);
    Status CloseTables();

    // Rebuilds the indexes: locks every indexed table, deletes the index files, then opens,
    // mends and packs each table.
    Status ReindexTables();

    const std::filesystem::path& LibraryFolder() const { return m_folder; }
    const std::filesystem::path& DataFolder() const { return m_data; }
    // Warnings the tables gave while opening (corrected counts, rebuilt indexes) and what the
    // folder was cleared of.
    std::vector<std::string> TakeWarnings();

    TDbf dbfMethods{kMethodTags, kMethodLayout};
    TDbf dbfCalls{kCallsTags, kCallsLayout};
    TDbf dbfOptions{{}, kOptionsLayout};
    TDbf dbfImportMeths{{}, kMethodLayout};
    TDbf dbfTemp{kMethodTags, kMethodLayout};
    TDbf dbfImportCalls{{}, kCallsLayout};

private:
    Status Open(TDbf& cursor, std::string_view file, TableAccess access);
    // Removes the staging tables that an import stopped before its end left behind.
    void RemoveStagingLeftovers();
    Status BuildFromBundled(std::string_view file, const TableLayout& layout,
                            const std::vector<IndexDef>& tags, std::string_view source);

    std::filesystem::path m_folder;
    std::filesystem::path m_data;
    std::vector<std::string> m_warnings;
};

} // namespace tambrel
