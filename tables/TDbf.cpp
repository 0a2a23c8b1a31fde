#include "tables/TDbf.h"

#include "engine/TextFunctions.h"
#include "tables/MdxFile.h"

#include <algorithm>
#include <cstring>

namespace tambrel {

namespace {

// Index expressions compare as written apart from case and blanks ("BELLS+UPPER(NAME)").
std::string NormalExpression(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c != ' ') {
            out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    return out;
}

std::string UpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return out;
}

} // namespace

struct TDbf::Tag {
    IndexDef def;
    Expression expression;
    std::size_t keyLength = 0;
    std::string keys;                 // key of record r at (r - 1) * keyLength
    std::vector<std::uint32_t> order; // every record, deleted ones too, by (key, record)

    const char* KeyOf(std::uint32_t recno) const { return keys.data() + (recno - 1) * keyLength; }
    // (key, record) ordering of the index.
    bool Before(std::uint32_t a, std::uint32_t b) const
    {
        const int c = std::memcmp(KeyOf(a), KeyOf(b), keyLength);
        return c < 0 || (c == 0 && a < b);
    }
    std::size_t PositionOf(std::uint32_t recno) const
    {
        return static_cast<std::size_t>(
            std::lower_bound(order.begin(), order.end(), recno,
                             [&](std::uint32_t a, std::uint32_t b) { return Before(a, b); }) -
            order.begin());
    }
    // First position whose key is not less than `text` (compared over the text's length).
    std::size_t LowerBound(std::string_view text) const
    {
        const std::size_t n = std::min(text.size(), keyLength);
        return static_cast<std::size_t>(
            std::lower_bound(order.begin(), order.end(), text,
                             [&](std::uint32_t recno, std::string_view t) {
                                 const int c = std::memcmp(KeyOf(recno), t.data(), n);
                                 return c < 0 || (c == 0 && keyLength < t.size());
                             }) -
            order.begin());
    }
};

struct TDbf::Table {
    TableAccess access = TableAccess::Write;
    std::filesystem::path dbfPath;
    std::filesystem::path mdxPath;
    DbfFile file;
    std::unique_ptr<CodePage> codePage;
    FileLock lock;
    std::vector<Tag> tags;
    bool dbfDirty = false;
    bool mdxDirty = false;
    // Navigation range under a while-restriction, valid while `rangeStamp` matches `stamp`.
    std::uint64_t stamp = 1;
    std::uint64_t rangeStamp = 0;
    std::pair<std::size_t, std::size_t> range{0, 0};
};

Status CreateTable(const std::filesystem::path& path, const TableLayout& layout)
{
    std::string error;
    std::optional<DbfFile> file = DbfFile::Create(layout, error);
    if (!file) {
        return Status::Fail(error);
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return Status::Fail("The table " + path.string() + " exists already.");
    }
    return WriteFileAtomically(path, file->Serialize());
}

TDbf::TDbf(std::vector<IndexDef> tags, TableLayout layout)
    : m_tagDefs(std::move(tags)), m_layout(std::move(layout))
{
}

TDbf::~TDbf()
{
    Close();
}

void TDbf::SetDbfFileName(const std::filesystem::path& path)
{
    if (path != m_fileName) {
        Close();
        m_fileName = path;
    }
}

Status TDbf::Fail(std::string message) const
{
    return m_errorsRaised ? Status::Fail(std::move(message)) : Status::Ok();
}

Status TDbf::Open(TableAccess access)
{
    if (Active()) {
        return {};
    }
    m_warnings.clear();
    const std::filesystem::path folder =
        m_fileName.has_parent_path() ? m_fileName.parent_path() : std::filesystem::path(".");
    const std::optional<std::filesystem::path> found =
        FindIgnoringCase(folder, m_fileName.filename().string());
    if (!found) {
        m_adoptedLock.Release();
        return Status::Fail("The table " + m_fileName.string() + " does not exist.");
    }
    auto table = std::make_unique<Table>();
    table->dbfPath = *found;
    table->access = access;
    const FileLock::Kind kind =
        access == TableAccess::Read ? FileLock::Kind::Shared : FileLock::Kind::Exclusive;
    if (m_adoptedLock.Held() && m_adoptedLock.Path() == table->dbfPath &&
        (m_adoptedLock.HeldKind() == FileLock::Kind::Exclusive || kind == FileLock::Kind::Shared)) {
        table->lock = std::move(m_adoptedLock);
    } else if (Status locked = table->lock.Acquire(table->dbfPath, kind); !locked) {
        m_adoptedLock.Release();
        return locked;
    }
    m_adoptedLock.Release();
    std::string bytes;
    if (Status read = table->lock.ReadAll(bytes, kMaxTableBytes); !read) {
        return read;
    }
    std::string error;
    std::optional<DbfFile> file = DbfFile::Parse(bytes, error);
    if (!file) {
        return Status::Fail("The table " + table->dbfPath.string() + " cannot be read: " + error);
    }
    table->file = std::move(*file);
    if (std::string wrong = LayoutProblem(table->file); !wrong.empty()) {
        return Status::Fail("The table " + table->dbfPath.string() + " cannot be read: " + wrong);
    }
    const std::string tableName = table->dbfPath.filename().string();
    if (!table->file.warnings.empty()) {
        // The records themselves need mending: only a reindex does that, so that nothing
        // rewrites a library while merely reading it or adding to it.
        if (access == TableAccess::Write) {
            return Status::Fail("The table " + table->dbfPath.string() +
                                " needs mending: " + table->file.warnings.front() +
                                " Reindex the libraries to mend it; until then it can be read "
                                "but not changed.");
        }
        for (const std::string& warning : table->file.warnings) {
            m_warnings.push_back(tableName + ": " + warning +
                                 (access == TableAccess::Repair
                                      ? " The count was corrected."
                                      : " They are read; the file is left as it is until the "
                                        "libraries are reindexed."));
        }
        table->dbfDirty = access == TableAccess::Repair;
    }
    table->codePage = std::make_unique<CodePage>(table->file.languageDriver);

    for (const IndexDef& def : m_tagDefs) {
        std::optional<Expression> expression =
            Expression::ParseKey(def.expression, table->file, error);
        if (!expression) {
            return Status::Fail("The index tag " + def.name + " of " + tableName +
                                " is not usable: " + error);
        }
        if (expression->Width() > kMaxKeyLength) {
            return Status::Fail("The key of index tag " + def.name +
                                " is longer than 100 characters.");
        }
        Tag tag{IndexDef{UpperAscii(def.name), def.expression}, std::move(*expression), 0, {}, {}};
        tag.keyLength = static_cast<std::size_t>(tag.expression.Width());
        table->tags.push_back(std::move(tag));
    }
    m_table = std::move(table);
    for (Tag& tag : m_table->tags) {
        tag.keys.resize(m_table->file.RecordCount() * tag.keyLength);
        for (std::uint32_t r = 1; r <= m_table->file.RecordCount(); ++r) {
            ComputeKey(tag, r);
        }
    }

    if (!m_table->tags.empty()) {
        const std::filesystem::path stem = m_table->dbfPath.stem();
        const std::string extension = m_table->dbfPath.extension() == ".DBF" ? ".MDX" : ".mdx";
        const std::optional<std::filesystem::path> mdx =
            FindIgnoringCase(folder, stem.string() + ".mdx");
        m_table->mdxPath = mdx ? *mdx : folder / (stem.string() + extension);
        std::string fault; // why the index file cannot serve; empty when it does
        if (!mdx) {
            fault = "is missing";
        } else if (std::string indexBytes;
                   Status read = ReadRegularFile(*mdx, indexBytes, kMaxIndexBytes)) {
            std::optional<std::vector<ParsedMdxTag>> parsed = ParseMdx(indexBytes, error);
            if (!parsed) {
                fault = "is damaged (" + error + ")";
            } else if (!TakeOrders(*parsed)) {
                fault = "did not match its table";
            }
        } else {
            fault = "could not be read (" + read.error + ")";
        }
        if (!fault.empty()) {
            for (Tag& tag : m_table->tags) {
                BuildOrder(tag);
            }
            const std::string indexName = m_table->mdxPath.filename().string();
            if (access == TableAccess::Read) {
                m_warnings.push_back(indexName + ": the index " + fault +
                                     "; it was rebuilt for this use only, until the libraries "
                                     "are reindexed.");
            } else {
                m_table->mdxDirty = true;
                if (mdx) { // a missing index is simply made, as dBase does
                    m_warnings.push_back(indexName + ": the index " + fault + " and was rebuilt.");
                }
            }
        }
    }

    m_tag = -1;
    m_while.reset();
    m_whileText.clear();
    m_editing = false;
    GoTop();
    if (m_table->dbfDirty || m_table->mdxDirty) {
        if (Status written = Flush(); !written) {
            m_table.reset();
            return written;
        }
    }
    return {};
}

bool TDbf::TakeOrders(std::vector<ParsedMdxTag>& parsed)
{
    if (parsed.size() != m_table->tags.size()) {
        return false;
    }
    const std::size_t count = m_table->file.RecordCount();
    std::vector<std::vector<std::uint32_t>> orders;
    for (const Tag& tag : m_table->tags) {
        const auto match = std::find_if(parsed.begin(), parsed.end(), [&](const ParsedMdxTag& p) {
            return UpperAscii(p.name) == tag.def.name;
        });
        if (match == parsed.end() ||
            NormalExpression(match->expression) != NormalExpression(tag.def.expression) ||
            static_cast<std::size_t>(match->keyLength) != tag.keyLength ||
            match->recnos.size() != count) {
            return false;
        }
        // Every record once, with the key its data gives, in (key, record) order.
        std::vector<bool> seen(count + 1, false);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t r = match->recnos[i];
            if (r < 1 || r > count || seen[r] ||
                std::memcmp(match->keys[i].data(), tag.KeyOf(r), tag.keyLength) != 0 ||
                (i > 0 && !tag.Before(match->recnos[i - 1], r))) {
                return false;
            }
            seen[r] = true;
        }
        orders.push_back(std::move(match->recnos));
    }
    for (std::size_t t = 0; t < orders.size(); ++t) {
        m_table->tags[t].order = std::move(orders[t]);
    }
    return true;
}

std::string TDbf::LayoutProblem(const DbfFile& file) const
{
    if (m_layout.empty()) {
        return {};
    }
    if (file.fields.size() != m_layout.size()) {
        return "it has " + std::to_string(file.fields.size()) + " fields where " +
               std::to_string(m_layout.size()) + " belong.";
    }
    for (std::size_t f = 0; f < m_layout.size(); ++f) {
        const FieldDef& field = file.fields[f];
        const auto& [name, width] = m_layout[f];
        if (field.name != UpperAscii(name) || field.type != 'C' || field.width != width) {
            return "its field " + std::to_string(f + 1) + " is " + field.name + " (" +
                   std::string(1, field.type) + " " + std::to_string(field.width) + ") where " +
                   UpperAscii(name) + " (C " + std::to_string(width) + ") belongs.";
        }
    }
    return {};
}

TableAccess TDbf::Access() const
{
    return Active() ? m_table->access : TableAccess::Read;
}

bool TDbf::Writable(Status& refusal) const
{
    if (m_table->access != TableAccess::Read) {
        return true;
    }
    refusal = Status::Fail("The table " + m_table->dbfPath.filename().string() +
                           " is open for reading only.");
    return false;
}

Status TDbf::Close()
{
    m_adoptedLock.Release();
    if (!Active()) {
        return {};
    }
    const Status written = Flush();
    m_table.reset();
    m_tag = -1;
    m_while.reset();
    m_whileText.clear();
    m_editing = false;
    m_bulk = 0;
    m_eof = m_bof = true;
    return written;
}

Status TDbf::Flush()
{
    Table& t = *m_table;
    std::string image;
    if (t.dbfDirty) {
        t.file.hasProductionIndex = !t.tags.empty();
        image = t.file.Serialize();
        if (image.size() > kMaxTableBytes) {
            // Never write a table that could not be read again.
            return Status::Fail("The table " + t.dbfPath.filename().string() +
                                " would be larger than the 256 MB a table may be; it was not "
                                "written.");
        }
    }
    // The index first: the table's own file is what commits a change. An index written for a
    // table that then fails to be written does not match it and is rebuilt when it opens.
    if (t.mdxDirty && !t.tags.empty()) {
        std::vector<MdxTag> tags;
        tags.reserve(t.tags.size());
        for (const Tag& tag : t.tags) {
            tags.push_back(MdxTag{tag.def.name, tag.def.expression, static_cast<int>(tag.keyLength),
                                  tag.order, tag.keys});
        }
        if (Status written =
                WriteFileAtomically(t.mdxPath, SerializeMdx(t.dbfPath.stem().string(), tags));
            !written) {
            return written;
        }
        t.mdxDirty = false;
    }
    if (t.dbfDirty) {
        if (Status written = t.lock.WriteLockedFile(t.dbfPath, image); !written) {
            return written;
        }
        t.dbfDirty = false;
    }
    return {};
}

Status TDbf::Changed()
{
    ++m_table->stamp;
    return m_bulk > 0 ? Status::Ok() : Flush();
}

Status TDbf::EndBulkUpdate()
{
    if (m_bulk > 0) {
        --m_bulk;
    }
    return m_bulk == 0 && Active() ? Flush() : Status::Ok();
}

void TDbf::ComputeKey(Tag& tag, std::uint32_t recno)
{
    tag.expression.KeyInto(m_table->file.Record(recno), m_table->codePage->UpperTable(),
                           tag.keys.data() + (recno - 1) * tag.keyLength);
}

void TDbf::BuildOrder(Tag& tag)
{
    const auto count = static_cast<std::uint32_t>(m_table->file.RecordCount());
    tag.order.resize(count);
    for (std::uint32_t r = 0; r < count; ++r) {
        tag.order[r] = r + 1;
    }
    std::sort(tag.order.begin(), tag.order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return tag.Before(a, b); });
}

std::size_t TDbf::OrderSize() const
{
    return m_table->file.RecordCount();
}

std::uint32_t TDbf::RecnoAt(std::size_t pos) const
{
    return m_tag < 0 ? static_cast<std::uint32_t>(pos + 1)
                     : m_table->tags[static_cast<std::size_t>(m_tag)].order[pos];
}

std::size_t TDbf::PositionOf(std::uint32_t recno) const
{
    return m_tag < 0 ? recno - 1 : m_table->tags[static_cast<std::size_t>(m_tag)].PositionOf(recno);
}

bool TDbf::Visible(std::size_t pos) const
{
    return !m_table->file.IsDeleted(RecnoAt(pos));
}

std::pair<std::size_t, std::size_t> TDbf::Range()
{
    const std::size_t size = OrderSize();
    if (!m_while) {
        return {0, size};
    }
    Table& t = *m_table;
    if (t.rangeStamp != t.stamp) {
        std::size_t begin = size;
        if (m_whileStart >= 1 && m_whileStart <= size) {
            begin = PositionOf(m_whileStart);
        }
        std::size_t end = begin;
        while (end < size) {
            if (Visible(end) &&
                !m_while->Holds(t.file.Record(RecnoAt(end)), t.codePage->UpperTable())) {
                break;
            }
            ++end;
        }
        t.range = {begin, end};
        t.rangeStamp = t.stamp;
    }
    return t.range;
}

void TDbf::SetPosition(std::size_t pos)
{
    m_pos = pos;
    m_eof = false;
    m_bof = false;
}

std::string_view TDbf::CurrentTag() const
{
    return m_tag < 0 || !Active()
               ? std::string_view{}
               : std::string_view(m_table->tags[static_cast<std::size_t>(m_tag)].def.name);
}

Status TDbf::SetOrderToTag(std::string_view tag)
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    m_editing = false;
    const std::uint32_t recno = m_eof ? 0 : RecnoAt(m_pos);
    int chosen = -1;
    if (!tag.empty()) {
        const std::string wanted = UpperAscii(tag);
        for (std::size_t i = 0; i < m_table->tags.size(); ++i) {
            if (m_table->tags[i].def.name == wanted) {
                chosen = static_cast<int>(i);
            }
        }
        if (chosen < 0) {
            return Fail("The index has no tag " + std::string(tag) + ".");
        }
    }
    m_tag = chosen;
    ++m_table->stamp;
    if (recno != 0) {
        SetPosition(PositionOf(recno));
    }
    return {};
}

std::string TDbf::SearchKey(std::string_view key) const
{
    std::string bytes = m_table->codePage->ToOem(key).bytes;
    if (bytes.size() > static_cast<std::size_t>(kMaxKeyLength)) {
        bytes.resize(kMaxKeyLength);
    }
    return bytes;
}

bool TDbf::Find(std::string_view key)
{
    if (!Active() || m_tag < 0) {
        return false;
    }
    m_editing = false;
    const Tag& tag = m_table->tags[static_cast<std::size_t>(m_tag)];
    const std::string wanted = SearchKey(key);
    if (wanted.size() > tag.keyLength) {
        m_pos = OrderSize();
        m_eof = true;
        return false;
    }
    for (std::size_t pos = tag.LowerBound(wanted); pos < tag.order.size(); ++pos) {
        if (std::memcmp(tag.KeyOf(tag.order[pos]), wanted.data(), wanted.size()) != 0) {
            break;
        }
        if (Visible(pos)) {
            SetPosition(pos);
            return true;
        }
    }
    m_pos = OrderSize();
    m_eof = true;
    return false;
}

bool TDbf::FindExact(std::string_view key)
{
    if (!Active() || m_tag < 0) {
        return false;
    }
    const Tag& tag = m_table->tags[static_cast<std::size_t>(m_tag)];
    std::string wanted = SearchKey(key);
    if (wanted.size() > tag.keyLength) {
        if (wanted.find_first_not_of(' ', tag.keyLength) != std::string::npos) {
            m_pos = OrderSize();
            m_eof = true;
            return false;
        }
        wanted.resize(tag.keyLength);
    }
    wanted.resize(tag.keyLength, ' ');
    return Find(m_table->codePage->FromOem(wanted));
}

void TDbf::FindNear(std::string_view key)
{
    if (!Active() || m_tag < 0) {
        return;
    }
    m_editing = false;
    const Tag& tag = m_table->tags[static_cast<std::size_t>(m_tag)];
    for (std::size_t pos = tag.LowerBound(SearchKey(key)); pos < tag.order.size(); ++pos) {
        if (Visible(pos)) {
            SetPosition(pos);
            return;
        }
    }
    m_pos = OrderSize();
    m_eof = true;
}

Status TDbf::SetWhileTo(std::string_view condition)
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    m_editing = false;
    if (Trim(condition).empty()) {
        m_while.reset();
        m_whileText.clear();
        ++m_table->stamp;
        return {};
    }
    std::string error;
    std::optional<Expression> parsed =
        Expression::ParseCondition(m_table->codePage->ToOem(condition).bytes, m_table->file, error);
    if (!parsed) {
        return Fail("The condition is not usable: " + error);
    }
    m_while = std::move(parsed);
    m_whileText = std::string(condition);
    m_whileStart = m_eof ? 0 : RecnoAt(m_pos);
    ++m_table->stamp;
    const auto [begin, end] = Range();
    if (m_eof || m_pos < begin || m_pos >= end) {
        m_pos = end;
        m_eof = true;
    }
    return {};
}

void TDbf::GoTop()
{
    if (!Active()) {
        return;
    }
    m_editing = false;
    const auto [begin, end] = Range();
    for (std::size_t pos = begin; pos < end; ++pos) {
        if (Visible(pos)) {
            SetPosition(pos);
            return;
        }
    }
    m_pos = end;
    m_eof = true;
    m_bof = true;
}

void TDbf::Skip(int count)
{
    if (!Active() || count == 0) {
        return;
    }
    m_editing = false;
    const auto [begin, end] = Range();
    if (count > 0) {
        for (; count > 0 && !m_eof; --count) {
            std::size_t pos = m_pos + 1;
            while (pos < end && !Visible(pos)) {
                ++pos;
            }
            if (pos >= end) {
                m_pos = end;
                m_eof = true;
            } else {
                SetPosition(pos);
            }
        }
        return;
    }
    if (m_eof) {
        // One step back from the end is the last record of the range.
        std::size_t pos = end;
        while (pos > begin && !Visible(pos - 1)) {
            --pos;
        }
        if (pos == begin) {
            m_bof = true;
            return;
        }
        SetPosition(pos - 1);
        ++count;
    }
    for (; count < 0; ++count) {
        std::size_t pos = m_pos;
        while (pos > begin && !Visible(pos - 1)) {
            --pos;
        }
        if (pos <= begin) {
            m_bof = true;
            return;
        }
        SetPosition(pos - 1);
    }
}

Status TDbf::Go(std::uint32_t recno)
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (recno < 1 || recno > m_table->file.RecordCount() || m_table->file.IsDeleted(recno)) {
        return Fail("There is no record " + std::to_string(recno) + ".");
    }
    m_editing = false;
    SetPosition(PositionOf(recno));
    return {};
}

std::uint32_t TDbf::RecNo() const
{
    if (!Active()) {
        return 0;
    }
    return m_eof ? RecordCount() + 1 : RecnoAt(m_pos);
}

std::uint32_t TDbf::RecordCount() const
{
    return Active() ? static_cast<std::uint32_t>(m_table->file.RecordCount()) : 0;
}

std::string TDbf::FieldText(std::string_view field) const
{
    if (!Active()) {
        return {};
    }
    const int index = m_table->file.FieldIndex(field);
    if (index < 0) {
        return {};
    }
    if (m_editing) {
        const FieldDef& def = m_table->file.fields[static_cast<std::size_t>(index)];
        return m_table->codePage->FromOem(std::string_view(m_buffer).substr(
            static_cast<std::size_t>(def.offset), static_cast<std::size_t>(def.width)));
    }
    return FieldTextAt(m_eof ? OrderSize() : m_pos, field);
}

std::size_t TDbf::Position() const
{
    if (!Active()) {
        return 0;
    }
    return m_eof ? OrderSize() : m_pos;
}

std::pair<std::size_t, std::size_t> TDbf::WhileRange()
{
    return Active() ? Range() : std::pair<std::size_t, std::size_t>{0, 0};
}

std::uint32_t TDbf::LiveRecordAt(std::size_t pos) const
{
    if (!Active() || pos >= OrderSize() || !Visible(pos)) {
        return 0;
    }
    return RecnoAt(pos);
}

std::string TDbf::FieldTextAt(std::size_t pos, std::string_view field) const
{
    if (!Active()) {
        return {};
    }
    const int index = m_table->file.FieldIndex(field);
    if (index < 0) {
        return {};
    }
    const FieldDef& def = m_table->file.fields[static_cast<std::size_t>(index)];
    const auto width = static_cast<std::size_t>(def.width);
    if (pos >= OrderSize()) {
        return std::string(width, ' ');
    }
    const char* record = m_table->file.Record(RecnoAt(pos));
    return m_table->codePage->FromOem(std::string_view(record + def.offset, width));
}

std::string TDbf::AsStored(std::string_view text) const
{
    if (!Active()) {
        return std::string(text);
    }
    return m_table->codePage->FromOem(m_table->codePage->ToOem(text).bytes);
}

Status TDbf::Replace(std::string_view field, std::string_view text, WriteNote* note)
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    const int index = m_table->file.FieldIndex(field);
    if (index < 0) {
        return Fail("The table " + m_table->dbfPath.filename().string() + " has no field " +
                    std::string(field) + ".");
    }
    if (!m_editing) {
        const auto length = static_cast<std::size_t>(m_table->file.recordLength);
        m_buffer = m_eof ? std::string(length, ' ')
                         : std::string(m_table->file.Record(RecnoAt(m_pos)), length);
        m_editing = true;
    }
    const FieldDef& def = m_table->file.fields[static_cast<std::size_t>(index)];
    CodePage::Encoded encoded = m_table->codePage->ToOem(text);
    const auto width = static_cast<std::size_t>(def.width);
    const bool cut = encoded.bytes.size() > width;
    encoded.bytes.resize(width, ' ');
    std::memcpy(m_buffer.data() + def.offset, encoded.bytes.data(), width);
    if (note != nullptr) {
        note->transliterated = encoded.transliterated;
        note->cut = cut;
    }
    return {};
}

void TDbf::ClearRecord()
{
    if (!Active()) {
        return;
    }
    m_buffer.assign(static_cast<std::size_t>(m_table->file.recordLength), ' ');
    m_editing = true;
}

void TDbf::InsertKeys(std::uint32_t recno)
{
    for (Tag& tag : m_table->tags) {
        ComputeKey(tag, recno);
        tag.order.insert(tag.order.begin() + static_cast<std::ptrdiff_t>(tag.PositionOf(recno)),
                         recno);
    }
}

void TDbf::EraseKeys(std::uint32_t recno)
{
    for (Tag& tag : m_table->tags) {
        tag.order.erase(tag.order.begin() + static_cast<std::ptrdiff_t>(tag.PositionOf(recno)));
    }
}

void TDbf::SettleAfterChange(std::uint32_t recno)
{
    ++m_table->stamp;
    SetPosition(PositionOf(recno));
}

Status TDbf::Written(std::uint32_t recno)
{
    InsertKeys(recno);
    m_editing = false;
    m_table->dbfDirty = true;
    m_table->mdxDirty = true;
    SettleAfterChange(recno);
    return Changed();
}

Status TDbf::AppendRec()
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    Table& t = *m_table;
    const auto length = static_cast<std::size_t>(t.file.recordLength);
    if (!m_editing) {
        m_buffer.assign(length, ' ');
    }
    m_buffer[0] = ' ';
    t.file.records.insert(t.file.records.end(), m_buffer.begin(), m_buffer.end());
    const auto recno = static_cast<std::uint32_t>(t.file.RecordCount());
    for (Tag& tag : t.tags) {
        tag.keys.resize(recno * tag.keyLength);
    }
    return Written(recno);
}

Status TDbf::ReplaceRec()
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    if (m_eof) {
        return Fail("There is no record to write over.");
    }
    if (!m_editing) {
        return {};
    }
    Table& t = *m_table;
    const std::uint32_t recno = RecnoAt(m_pos);
    char* record = t.file.Record(recno);
    m_buffer[0] = record[0]; // the deletion flag is not the buffer's to change
    EraseKeys(recno);
    std::memcpy(record, m_buffer.data(), m_buffer.size());
    return Written(recno);
}

Status TDbf::DeleteRec()
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    if (m_eof) {
        return Fail("There is no record to delete.");
    }
    const std::uint32_t recno = RecnoAt(m_pos);
    m_table->file.Record(recno)[0] = '*';
    m_table->dbfDirty = true;
    m_editing = false;
    ++m_table->stamp;
    // The next record becomes current, or the one before at the end of the range.
    const std::size_t from = m_pos;
    Skip(1);
    if (m_eof) {
        m_pos = from;
        m_eof = false;
        Skip(-1);
        if (m_bof || RecnoAt(m_pos) == recno) {
            m_pos = Range().second;
            m_eof = true;
        }
    }
    return Changed();
}

Status TDbf::Zap()
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    m_table->file.records.clear();
    for (Tag& tag : m_table->tags) {
        tag.keys.clear();
        tag.order.clear();
    }
    m_table->dbfDirty = true;
    m_table->mdxDirty = true;
    m_editing = false;
    ++m_table->stamp;
    m_pos = 0;
    m_eof = m_bof = true;
    return Changed();
}

Status TDbf::Pack()
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    DbfFile& file = m_table->file;
    const auto length = static_cast<std::size_t>(file.recordLength);
    std::vector<char> live;
    live.reserve(file.records.size());
    for (std::size_t r = 1; r <= file.RecordCount(); ++r) {
        if (!file.IsDeleted(r)) {
            live.insert(live.end(), file.Record(r), file.Record(r) + length);
        }
    }
    file.records = std::move(live);
    m_table->dbfDirty = true;
    m_editing = false;
    return Reindex();
}

Status TDbf::Reindex()
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    for (Tag& tag : m_table->tags) {
        tag.keys.resize(m_table->file.RecordCount() * tag.keyLength);
        for (std::uint32_t r = 1; r <= m_table->file.RecordCount(); ++r) {
            ComputeKey(tag, r);
        }
        BuildOrder(tag);
    }
    m_table->mdxDirty = true;
    ++m_table->stamp;
    GoTop();
    return Changed();
}

Status TDbf::ReplaceAllRecords(const std::vector<std::vector<std::string>>& rows)
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    BeginBulkUpdate();
    Status status = Zap();
    const std::vector<FieldDef>& fields = m_table->file.fields;
    for (const std::vector<std::string>& row : rows) {
        ClearRecord();
        for (std::size_t f = 0; status && f < fields.size() && f < row.size(); ++f) {
            status = Replace(fields[f].name, row[f]);
        }
        if (status) {
            status = AppendRec();
        }
    }
    if (Status written = EndBulkUpdate(); status && !written) {
        status = written;
    }
    GoTop();
    return status;
}

const std::vector<FieldDef>& TDbf::Fields() const
{
    return m_table->file.fields;
}

CodePage& TDbf::TextCodePage() const
{
    return *m_table->codePage;
}

std::size_t TDbf::RecordLength() const
{
    return static_cast<std::size_t>(m_table->file.recordLength);
}

std::size_t TDbf::RecordRoom() const
{
    const std::size_t used = static_cast<std::size_t>(m_table->file.HeaderLength()) + 1 +
                             m_table->file.records.size(); // the end-of-file mark is the 1
    return used >= kMaxTableBytes ? 0 : kMaxTableBytes - used;
}

Status TDbf::AppendRecords(std::string_view records)
{
    if (!Active()) {
        return Fail("The table is not open.");
    }
    if (Status refusal; !Writable(refusal)) {
        return refusal;
    }
    Table& t = *m_table;
    BeginBulkUpdate();
    if (!records.empty()) {
        t.file.records.insert(t.file.records.end(), records.begin(), records.end());
        t.dbfDirty = true;
        t.mdxDirty = true;
        for (Tag& tag : t.tags) {
            const std::size_t first = tag.keys.size() / tag.keyLength + 1;
            tag.keys.resize(t.file.RecordCount() * tag.keyLength);
            for (std::size_t r = first; r <= t.file.RecordCount(); ++r) {
                ComputeKey(tag, static_cast<std::uint32_t>(r));
            }
            BuildOrder(tag);
        }
        ++t.stamp;
    }
    m_editing = false;
    GoTop();
    return EndBulkUpdate();
}

Status TDbf::DiscardChanges()
{
    if (!Active()) {
        return {};
    }
    const TableAccess access = m_table->access;
    FileLock lock = std::move(m_table->lock);
    m_table->dbfDirty = false;
    m_table->mdxDirty = false;
    Close();
    m_adoptedLock = std::move(lock);
    return Open(access);
}

} // namespace tambrel
