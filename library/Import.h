#pragma once

#include "library/CollectionConvert.h"
#include "library/ImportMessages.h"
#include "tables/DelimitedAppend.h"
#include "tables/Status.h"
#include "tables/TDbf.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

class TBellStore;
class TfrmDataMod;

// The two ways of importing methods (design tokens "IMPORT" and "REPLACE"): add the new ones
// to the main library, or make the library the file's methods alone.
enum class ImportMode { Import, Replace };

// The questions an import asks; each one's Yes changes stored data.
enum class ImportQuestion {
    Rename,         // give a method of the library the name the file gives its notation
    RemovePersonal, // delete from the personal library a method the main library holds
};

// How an import talks to whoever runs it: the dialog, or the command line. Every member may be
// left empty; a question left unanswered is answered No.
struct ImportFeedback {
    std::function<void(std::string_view text)> label; // the progress label, to show at once
    std::function<void(std::size_t position, std::size_t maximum)> progress;
    std::function<bool(ImportQuestion question, const std::string& text)> ask;
};

// What a file that was read into the staging table gave: its lines that were skipped, which
// an import counts as examined.
struct StagedFile {
    std::filesystem::path path;
    std::size_t skipped = 0; // lines after the marker that are no whole record, or too wide
    std::size_t leftOut = 0; // of those, methods of the Council's collection a library cannot
                             // hold (counted while converting it)
    std::vector<std::string> leftOutMethods; // the first of them, with the reasons
    DelimitedReport report;                  // the reader's own account, lines listed
};

// What a staged file left out or changed, for the user to read: the refused lines and those
// stored with letters replaced, a line each in the file's order (the first hundred of each
// kind), then the methods of a collection a library cannot hold (the first hundred).
struct StagedDetails {
    std::vector<std::string> lines;
    std::size_t fileLines = 0; // lines left out or changed, listed or not
    std::size_t leftOut = 0;   // methods of a collection

    explicit StagedDetails(const StagedFile& staged);
    bool Empty() const { return fileLines == 0 && leftOut == 0; }
    // One line saying how much there is; "" when nothing.
    std::string Summary() const;
    // The first `shown` lines and how many more there are, for a message.
    std::string Text(std::size_t shown) const;
};

// One methods import as its dialog runs it: the main library, the personal library (for the
// check) and the staging table are held from Open to Close; a file is read into the staging
// table and can then be imported, in either mode, as often as wanted. The main library is
// written once at the end of an import, whole: an import that fails or is killed part-way
// leaves the library as it was.
class MethodsImport {
public:
    explicit MethodsImport(TfrmDataMod& data);
    ~MethodsImport();
    MethodsImport(const MethodsImport&) = delete;
    MethodsImport& operator=(const MethodsImport&) = delete;

    // Opens "MAIN,MYLIB_CHECK,IMPORTMETHS", after clearing a staging table that an import
    // stopped before its end left behind.
    Status Open();
    // Reads `file` into the staging table. Refused, with the rejection text, when its first
    // record is not the marker of a methods file or it cannot be read whole; `reason` then
    // says what the reader found (empty for a wrong marker). No library table changes.
    Status ReadFile(const std::filesystem::path& file, std::string* reason = nullptr);
    bool Ready() const { return m_ready; } // a file was accepted
    const StagedFile& Staged() const { return m_staged; }
    // The methods of the main library, its header record not counted; and the methods of the
    // staged file it can take (a notation twice is one).
    std::size_t LibraryMethods();
    std::size_t Usable();

    // Imports the staged file; a "REPLACE" of a file that holds no method the library can
    // take is refused, changing nothing. with `checkPersonal` then offers to delete from the
    // personal library every method the main library holds. A failed write leaves the tables as
    // their files are and returns the engine's message.
    Status Run(ImportMode mode, bool checkPersonal, const ImportFeedback& feedback);

    // Of the last Run.
    std::size_t Examined() const { return m_examined; }
    std::size_t Added() const { return m_added; }
    std::size_t Renamed() const { return m_renamed; }
    std::size_t PersonalRemoved() const { return m_personalRemoved; }
    std::string ResultText(ImportMode mode) const; // the progress label after it
    // Whether a "REPLACE" import finished since Open: every record number of the main library
    // is new, so a position remembered by number means nothing now.
    bool LibraryReplaced() const { return m_libraryReplaced; }

    // Closes every table and deletes the staging file.
    Status Close();

private:
    Status ImportRecords(ImportMode mode, const ImportFeedback& feedback);
    Status CheckPersonal(const ImportFeedback& feedback);

    TfrmDataMod& m_data;
    std::unique_ptr<TBellStore> m_store; // scratch: the tidy form of each notation
    StagedFile m_staged;
    bool m_open = false;
    bool m_ready = false;
    std::optional<std::size_t> m_usable;
    bool m_libraryReplaced = false;
    std::size_t m_examined = 0;
    std::size_t m_added = 0;
    std::size_t m_renamed = 0;
    std::size_t m_personalRemoved = 0;
};

// One calls import: the calls library and its staging table held from Open to Close. An import
// replaces the whole calls library, written once at its end.
class CallsImport {
public:
    explicit CallsImport(TfrmDataMod& data);
    ~CallsImport();
    CallsImport(const CallsImport&) = delete;
    CallsImport& operator=(const CallsImport&) = delete;

    Status Open(); // "CALLS,IMPORTCALLS"
    Status ReadFile(const std::filesystem::path& file, std::string* reason = nullptr);
    bool Ready() const { return m_ready; }
    const StagedFile& Staged() const { return m_staged; }
    std::size_t LibraryCalls(); // its header record not counted
    std::size_t Usable();       // the staged file's calls the library can take

    // Refused, changing nothing, when the file holds no call the library can take.
    Status Run(const ImportFeedback& feedback);
    std::size_t Added() const { return m_added; }
    std::string ResultText() const { return CallsImportedText(m_added); }

    Status Close(); // closes every table and deletes the staging file

private:
    TfrmDataMod& m_data;
    StagedFile m_staged;
    bool m_open = false;
    bool m_ready = false;
    std::optional<std::size_t> m_usable;
    std::size_t m_added = 0;
};

// The group a methods import stores for the group of a file's record (upper case, trimmed):
// "Z" for one that ends in "Z" or begins before "A" (an empty one too), then without a
// trailing "X" ("AX" is stored as "A").
std::string ImportedGroup(std::string_view group);

// The bell count of a file's record, which a library stores as the number's own text ("08" as
// "8 "); nothing when it is not a number from 4 to 16.
std::optional<int> ImportedBells(std::string_view bells);

} // namespace tambrel
