#pragma once

#include "tables/CodePage.h"
#include "tables/DbfFile.h"
#include "tables/Expression.h"
#include "tables/FileIo.h"
#include "tables/MdxFile.h"
#include "tables/Status.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tambrel {

// A tag of a table's production index: its name and dBase key expression.
struct IndexDef {
    std::string name;
    std::string expression;
};

// Field names and widths of a table of character fields.
using TableLayout = std::vector<std::pair<std::string, int>>;

// Creates an empty table file (code page 850) at `path`; refuses to overwrite one.
Status CreateTable(const std::filesystem::path& path, const TableLayout& layout);

// How a cursor holds its table.
enum class TableAccess {
    Read,   // shared with other readers; nothing is written, not even a repair
    Write,  // alone; a missing or stale index is rebuilt and written, and a table whose records
            // need mending is refused until a reindex mends it
    Repair, // alone, as a reindex does: every repair is written
};

// A dBase table cursor: pointed at a table file, opened for reading (shared) or writing (alone),
// navigated in record order or by a tag of its production index, and edited through a record
// buffer. Deleted records
// are hidden from every move. The whole table is held in memory; every change is written to
// disk as a new file renamed over the old (the index beside it), after each single-record
// command or, inside a bulk update, once at its end.
class TDbf {
public:
    // `tags`: the production index this cursor keeps (none for plain tables); a missing or
    // stale index file is rebuilt from them when the table opens. `layout`: the fields the
    // table must have (any, when empty); a table with others is refused as damaged.
    explicit TDbf(std::vector<IndexDef> tags = {}, TableLayout layout = {});
    ~TDbf();
    TDbf(const TDbf&) = delete;
    TDbf& operator=(const TDbf&) = delete;

    // The table file; pointing at another file closes the cursor first.
    void SetDbfFileName(const std::filesystem::path& path);
    const std::filesystem::path& DbfFileName() const { return m_fileName; }
    bool Active() const { return m_table != nullptr; }
    Status Open(TableAccess access = TableAccess::Write);
    TableAccess Access() const; // how the open table is held
    // A lock taken beforehand on the table file, used by the next Open of that file instead of
    // locking again; so a command can hold all its tables before it changes any of them.
    void AdoptLock(FileLock lock) { m_adoptedLock = std::move(lock); }
    Status Close(); // writes what is not yet written

    // With errors switched off, a failing Go does nothing and reports nothing.
    void SetErrorsRaised(bool raised) { m_errorsRaised = raised; }

    Status SetOrderToTag(std::string_view tag); // empty: record order
    std::string_view CurrentTag() const;

    // Seeks in the current order; keys are cut to 100 characters.
    bool Find(std::string_view key);      // a key that begins with `key`
    bool FindExact(std::string_view key); // the whole key, trailing blanks not counting
    void FindNear(std::string_view key);  // first key not less than `key`, else end of table

    // Restricts navigation to the records from the current one on, in the current order, for
    // which the dBase condition holds; empty removes the restriction.
    Status SetWhileTo(std::string_view condition);
    const std::string& WhileCondition() const { return m_whileText; }

    void GoTop();
    void Skip(int count = 1);
    Status Go(std::uint32_t recno);
    std::uint32_t RecNo() const;       // RecordCount() + 1 at the end of the table
    std::uint32_t RecordCount() const; // records in the file, deleted ones included
    bool Eof() const { return m_eof; }

    // A field as text padded to its width (blanks at the end of the table); "" for a field the
    // table does not have.
    std::string FieldText(std::string_view field) const;

    // Reading by position in the current order, for a list shown over the table: none of these
    // moves the cursor. Positions run from 0 to one before the order's size and take in deleted
    // records, which LiveRecordAt tells apart.
    std::size_t Position() const;                      // the current record's; the size at the end
    std::pair<std::size_t, std::size_t> WhileRange();  // [begin, end) that navigation may reach
    std::uint32_t LiveRecordAt(std::size_t pos) const; // its record number; 0 if deleted or past
    // As FieldText, for the record at `pos` (blanks past the end of the order).
    std::string FieldTextAt(std::size_t pos, std::string_view field) const;

    // `text` as this table stores it and reads it back: letters its code page lacks become
    // their plain Latin letters. Compare a stored value with this, not with what was typed.
    std::string AsStored(std::string_view text) const;

    struct WriteNote {
        bool transliterated = false; // a letter the code page lacks was replaced
        bool cut = false;            // the value was longer than the field
    };
    // Sets a field of the record buffer, taking the current record into it first when the
    // buffer is not being edited. The edit is written only by AppendRec or ReplaceRec; any move
    // (GoTop, Skip, Go, Find, FindExact, FindNear, SetOrderToTag, SetWhileTo) drops it, so an
    // edit never reaches another record and moving never writes a table.
    Status Replace(std::string_view field, std::string_view text, WriteNote* note = nullptr);
    void ClearRecord();
    Status AppendRec();
    Status ReplaceRec();
    Status DeleteRec();
    Status Zap();
    Status Pack();
    Status Reindex();
    // For records made outside the cursor, as an import makes them from text: the table's
    // fields, the length of a record with its deletion flag, its code page, and how many bytes
    // of records it can still take and be read again. Only while the table is open.
    const std::vector<FieldDef>& Fields() const;
    std::size_t RecordLength() const;
    CodePage& TextCodePage() const;
    std::size_t RecordRoom() const;
    // Appends such records (RecordLength() bytes each, the deletion flag blank), their keys
    // sorted in at once rather than one insertion each, and writes the table once (inside a bulk
    // update, at its end); the first record of the current order becomes current.
    Status AppendRecords(std::string_view records);

    // Replaces every record at once with `rows` (field values in field order): the new table
    // is written as one file renamed over the old, so a crash leaves all the old records or all
    // the new ones.
    Status ReplaceAllRecords(const std::vector<std::vector<std::string>>& rows);

    // Inside a bulk update the file is written once, at its end (or at Close).
    void BeginBulkUpdate() { ++m_bulk; }
    Status EndBulkUpdate();
    // Drops every change not yet written (a bulk update that failed part-way) and reads the
    // table again from its file, keeping its lock: the table is as its file says.
    Status DiscardChanges();

    // What opening found and mended (a corrected record count, a rebuilt index).
    const std::vector<std::string>& Warnings() const { return m_warnings; }

private:
    struct Tag;
    struct Table;

    Status Fail(std::string message) const;
    bool Writable(Status& refusal) const; // false, with the refusal, on a table open for reading
    bool TakeOrders(std::vector<ParsedMdxTag>& parsed); // the index file's orders, if they fit
    std::string LayoutProblem(const DbfFile& file) const;
    Status Changed();
    Status Flush();
    void BuildOrder(Tag& tag);
    void ComputeKey(Tag& tag, std::uint32_t recno);
    std::size_t OrderSize() const;
    std::uint32_t RecnoAt(std::size_t pos) const;
    std::size_t PositionOf(std::uint32_t recno) const;
    bool Visible(std::size_t pos) const;
    std::pair<std::size_t, std::size_t> Range();
    void SetPosition(std::size_t pos);
    void SettleAfterChange(std::uint32_t recno);
    // A record's new bytes are in place: index it, note the tables to write, make it current.
    Status Written(std::uint32_t recno);
    std::string SearchKey(std::string_view key) const;
    void InsertKeys(std::uint32_t recno);
    void EraseKeys(std::uint32_t recno);

    std::vector<IndexDef> m_tagDefs;
    TableLayout m_layout;
    std::filesystem::path m_fileName;
    std::unique_ptr<Table> m_table;
    FileLock m_adoptedLock;
    std::vector<std::string> m_warnings;
    bool m_errorsRaised = true;
    int m_bulk = 0;

    int m_tag = -1;        // current order; -1 = record order
    std::size_t m_pos = 0; // position in the current order
    bool m_eof = true;
    bool m_bof = true;
    std::string m_whileText;
    std::optional<Expression> m_while;
    std::uint32_t m_whileStart = 0; // record where the restriction begins; 0 = empty range
    bool m_editing = false;
    std::string m_buffer; // record buffer being edited, deletion flag first
};

} // namespace tambrel
