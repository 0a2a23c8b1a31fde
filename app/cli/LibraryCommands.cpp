#include "app/cli/LibraryCommands.h"
#include "app/cli/CliSupport.h"

#include "app/cli/MethodFacts.h"
#include "engine/CCNotation.h"
#include "engine/Messages.h"
#include "engine/OptionsStore.h"
#include "engine/TextFunctions.h"
#include "library/CallsData.h"
#include "library/MethodLookup.h"
#include "library/OptionsTable.h"
#include "library/TfrmDataMod.h"
#include "tables/FileIo.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <memory>
#include <ostream>

namespace tambrel {

namespace {

void WriteRecord(std::ostream& out, TDbf& table, bool json)
{
    const std::string bells = Trim(table.FieldText("bells"));
    const std::string name = Trim(table.FieldText("name"));
    const std::string places = Trim(table.FieldText("places"));
    const std::string group = Trim(table.FieldText("group"));
    if (json) {
        nlohmann::ordered_json record;
        record["recno"] = table.RecNo();
        record["bells"] = bells;
        record["name"] = name;
        record["places"] = places;
        record["group"] = group;
        out << DumpJson(record) << '\n';
    } else {
        out << PadRight(std::to_string(table.RecNo()), 6) << ' ' << PadRight(TerminalText(bells), 3)
            << PadRight(TerminalText(group), 3) << TerminalText(name) << "  "
            << TerminalText(places) << '\n';
    }
}

// The header record's build text, or "" when the table has none.
std::string BuildText(TDbf& table, std::string_view marker)
{
    table.SetOrderToTag("");
    table.GoTop();
    if (table.Eof() || Trim(table.FieldText("bells")) != "0" ||
        Trim(table.FieldText("name")) != marker) {
        return {};
    }
    return Trim(table.FieldText("places"));
}

} // namespace

LibraryCommands::LibraryCommands(CLI::App& app, std::filesystem::path programFolder)
    : m_programFolder(std::move(programFolder))
{
    m_library = app.add_subcommand("library", "The method and calls libraries");
    m_library->require_subcommand(1);
    const auto addFolder = [this](CLI::App* command) {
        command->add_option("--library", m_folder, "Library folder (default: the program's)");
    };

    m_info = m_library->add_subcommand("info", "Folder, tables, record counts and build texts");
    addFolder(m_info);
    m_info->add_flag("--json", m_json, "Write one JSON object");

    m_list =
        m_library->add_subcommand("list", "Methods of one bell count, as the browser lists them");
    addFolder(m_list);
    m_list->add_option("--table", m_table, "MAIN, PERSONAL or FIND_LIB")
        ->check(CLI::IsMember({"MAIN", "PERSONAL", "FIND_LIB"}));
    m_list->add_option("--bells", m_bells, "Number of bells, 4 to 16")->required();
    m_list->add_option("--group", m_group, "Lead-head group, or ALL");
    m_list->add_option("--by", m_by, "Order: name or places")
        ->check(CLI::IsMember({"name", "places"}));
    m_list->add_option("--from", m_from, "Start at the first method at or after this text");
    m_list->add_option("--limit", m_limitText, "At most this many methods (0 to 1000000)");
    m_list->add_flag("--json", m_json, "One JSON object per method");

    m_find = m_library->add_subcommand("find", "Methods of a name or notation");
    addFolder(m_find);
    m_find->add_option("--table", m_table, "MAIN, PERSONAL or FIND_LIB")
        ->check(CLI::IsMember({"MAIN", "PERSONAL", "FIND_LIB"}));
    m_find->add_option("--bells", m_bells, "Number of bells, 4 to 16")->required();
    CLI::Option* name = m_find->add_option("--name", m_name, "Method name");
    CLI::Option* notation = m_find->add_option("--notation", m_notation, "Place notation");
    name->excludes(notation);
    m_find->add_flag("--json", m_json, "One JSON object per method");

    m_reindex = m_library->add_subcommand("reindex", "Rebuild the indexes of every library table");
    addFolder(m_reindex);
}

int LibraryCommands::Run(std::ostream& out, std::ostream& err)
{
    if (m_info->parsed()) {
        return Info(out, err);
    }
    if (m_list->parsed()) {
        return List(out, err);
    }
    if (m_find->parsed()) {
        return Find(out, err);
    }
    return Reindex(out, err);
}

void ReportWarnings(TfrmDataMod& module, std::ostream& err)
{
    for (const std::string& warning : module.TakeWarnings()) {
        err << "Warning: " << TerminalText(warning) << '\n';
    }
}

std::unique_ptr<TfrmDataMod> MakeDataModule(const std::string& folder,
                                            const std::filesystem::path& programFolder,
                                            std::ostream& err, Status& status)
{
    auto module = std::make_unique<TfrmDataMod>(folder.empty() ? DefaultLibraryFolder(programFolder)
                                                               : std::filesystem::path(folder),
                                                BundledDataFolder(programFolder));
    status = module->EnsureTables();
    ReportWarnings(*module, err);
    return module;
}

namespace {

// The calls of a library folder's data module, its tables made if missing.
Status ReadModuleCalls(TfrmDataMod& module, CallsLibrary& calls)
{
    Status status = module.OpenTables("CALLS", TableAccess::Read);
    if (status) {
        calls = ReadCallsTable(module.dbfCalls);
    }
    module.CloseTables();
    return status;
}

} // namespace

bool LoadCliCalls(const std::string& folder, const std::filesystem::path& programFolder,
                  CallsLibrary& calls, std::ostream& err, std::string& error)
{
    if (!folder.empty()) {
        Status status;
        auto module = MakeDataModule(folder, programFolder, err, status);
        if (status) {
            status = ReadModuleCalls(*module, calls);
        }
        ReportWarnings(*module, err);
        error = status.error;
        return status.ok();
    }
    const std::filesystem::path library = DefaultLibraryFolder(programFolder);
    if (FindIgnoringCase(library, "Calls.dbf")) {
        TDbf table(kCallsTags, kCallsLayout);
        table.SetDbfFileName(library / "Calls.dbf");
        if (const Status opened = table.Open(TableAccess::Read); opened) {
            for (const std::string& warning : table.Warnings()) {
                err << "Warning: " << warning << '\n';
            }
            calls = ReadCallsTable(table);
            return true;
        } else {
            err << "Warning: " << opened.error << " The bundled calls are used instead.\n";
        }
    }
    std::vector<std::string> warnings;
    const std::optional<CallsLibrary> bundled =
        ReadCallsFile(BundledDataFolder(programFolder) / "Calls.csv", error, &warnings);
    for (const std::string& warning : warnings) {
        err << "Warning: " << warning << '\n';
    }
    if (bundled) {
        calls = *bundled;
    }
    return bundled.has_value();
}

bool LoadCliLibrary(const std::string& folder, const std::filesystem::path& programFolder,
                    CallsLibrary& calls, std::vector<OptionRecord>& options, std::ostream& err,
                    std::string& error)
{
    // One data module for both: the folder is made and checked once.
    Status status;
    auto module = MakeDataModule(folder, programFolder, err, status);
    if (status) {
        status = ReadModuleCalls(*module, calls);
    }
    if (status) {
        error = OptionsTable(*module).ReadRecords(options);
    } else {
        error = status.error;
    }
    ReportWarnings(*module, err);
    return error.empty();
}

int LibraryCommands::Info(std::ostream& out, std::ostream& err)
{
    Status status;
    auto module = MakeDataModule(m_folder, m_programFolder, err, status);
    if (!status) {
        return Refuse(err, status.error);
    }
    nlohmann::ordered_json info;
    info["folder"] = module->LibraryFolder().string();
    auto& tables = info["tables"] = nlohmann::ordered_json::array();
    struct TableRow {
        const char* code;
        const char* file;
        TDbf TfrmDataMod::*cursor;
        std::string_view marker;
    };
    const TableRow rows[] = {
        {"MAIN", "Methods.dbf", &TfrmDataMod::dbfMethods, kMethodLibraryMarker},
        {"PERSONAL", "My_Lib.dbf", &TfrmDataMod::dbfMethods, {}},
        {"FIND_LIB", "Find_Lib.dbf", &TfrmDataMod::dbfMethods, {}},
        {"CALLS", "Calls.dbf", &TfrmDataMod::dbfCalls, kCallsLibraryMarker},
        {"OPTIONS", "Options.dbf", &TfrmDataMod::dbfOptions, {}},
    };
    for (const TableRow& row : rows) {
        if (Status opened = module->OpenTables(row.code, TableAccess::Read); !opened) {
            module->CloseTables();
            ReportWarnings(*module, err);
            return Refuse(err, opened.error);
        }
        TDbf& table = (*module).*row.cursor;
        std::uint32_t live = 0;
        table.SetOrderToTag("");
        for (table.GoTop(); !table.Eof(); table.Skip()) {
            ++live;
        }
        nlohmann::ordered_json entry;
        entry["table"] = row.code;
        entry["file"] = row.file;
        entry["records"] = live;
        if (!row.marker.empty()) {
            entry["build"] = BuildText(table, row.marker);
        }
        tables.push_back(entry);
        module->CloseTables();
    }
    ReportWarnings(*module, err);
    if (m_json) {
        out << DumpJson(info) << '\n';
        return 0;
    }
    out << "Library folder: " << module->LibraryFolder().string() << '\n';
    for (const auto& entry : tables) {
        out << "  " << PadRight(entry["table"].get<std::string>(), 9) << ' '
            << PadRight(entry["file"].get<std::string>(), 13) << ' '
            << PadRight(std::to_string(entry["records"].get<std::uint32_t>()), 7) << " records";
        if (entry.contains("build") && !entry["build"].get<std::string>().empty()) {
            out << ", built " << entry["build"].get<std::string>();
        }
        out << '\n';
    }
    return 0;
}

int LibraryCommands::List(std::ostream& out, std::ostream& err)
{
    const std::optional<int> bells = ParseBells(m_bells);
    if (!bells) {
        return Refuse(err, kMsgInvalidBells);
    }
    constexpr int kMaxLimit = 1'000'000;
    int limit = 0;
    const std::string limitText = Trim(m_limitText);
    const auto [ptr, ec] =
        std::from_chars(limitText.data(), limitText.data() + limitText.size(), limit);
    if (limitText.empty() || ec != std::errc{} || ptr != limitText.data() + limitText.size() ||
        limit < 0 || limit > kMaxLimit) {
        return Refuse(err, "--limit takes a whole number from 0 to 1000000, not \"" +
                               TerminalText(m_limitText) + "\".");
    }
    Status status;
    auto module = MakeDataModule(m_folder, m_programFolder, err, status);
    if (!status || !(status = module->OpenTables(m_table, TableAccess::Read))) {
        ReportWarnings(*module, err);
        return Refuse(err, status.error);
    }
    TDbf& table = module->dbfMethods;
    const std::string group = UpperCase(Trim(m_group));
    const bool allGroups = group.empty() || group == "ALL";
    const bool byName = m_by == "name";
    table.SetOrderToTag(byName ? (allGroups ? "NAME" : "GRPNAME")
                               : (allGroups ? "PLACES" : "GRPPLACES"));

    const std::string bellsKey = BellsKey(*bells);
    const std::string key = allGroups ? bellsKey : bellsKey + PadRight(group, 2);
    table.GoTop();
    if (table.Find(key)) {
        // As the browser positions: the soft seek, then back one when it ran past the range.
        table.FindNear(key + UpperCase(m_from));
        const auto inRange = [&] {
            return !table.Eof() && table.FieldText("bells") == bellsKey &&
                   (allGroups || table.FieldText("group") == PadRight(group, 2));
        };
        if (!inRange()) {
            table.Skip(-1);
        }
        std::string condition = "Bells=\"" + bellsKey + "\"";
        if (!allGroups) {
            condition += " .And. Group=\"" + PadRight(group, 2) + "\"";
        }
        table.SetWhileTo(condition);
        for (int shown = 0; !table.Eof() && shown < limit; ++shown, table.Skip()) {
            WriteRecord(out, table, m_json);
        }
    }
    module->CloseTables();
    ReportWarnings(*module, err);
    return 0;
}

int LibraryCommands::Find(std::ostream& out, std::ostream& err)
{
    const std::optional<int> bells = ParseBells(m_bells);
    if (!bells) {
        return Refuse(err, kMsgInvalidBells);
    }
    if (m_name.empty() && m_notation.empty()) {
        return Refuse(err, "Give --name or --notation.");
    }
    std::string value = UpperCase(Trim(m_name));
    if (!m_notation.empty()) {
        m_notation = ExpandTypedNotation(m_notation);
        // The libraries hold tidy notation, so look up the tidy form of what was given.
        if (std::string error = CheckPlaceNotation(m_notation, *bells); !error.empty()) {
            return Refuse(err, error);
        }
        auto store = std::make_unique<TBellStore>();
        store->SetBells(*bells);
        store->SetPlaceNotation(m_notation);
        store->ParseAndTidy();
        value = store->TidyNotation();
    }
    Status status;
    auto module = MakeDataModule(m_folder, m_programFolder, err, status);
    if (!status || !(status = module->OpenTables(m_table, TableAccess::Read))) {
        ReportWarnings(*module, err);
        return Refuse(err, status.error);
    }
    TDbf& table = module->dbfMethods;
    const std::string bellsKey = BellsKey(*bells);
    int found = 0;
    if (FindMethod(table, m_notation.empty() ? FindBy::Name : FindBy::Places, bellsKey, value)) {
        const std::string field = m_notation.empty() ? "name" : "places";
        // The key was found through the table's code page; the records must be compared
        // through it too, or a name with letters it lacks ("JANÁČEK") never matches.
        const std::string stored = UpperCase(table.AsStored(value));
        for (; !table.Eof() && table.FieldText("bells") == bellsKey &&
               UpperCase(Trim(table.FieldText(field))) == stored;
             table.Skip()) {
            WriteRecord(out, table, m_json);
            ++found;
        }
    }
    module->CloseTables();
    ReportWarnings(*module, err);
    return found > 0 ? 0 : 1;
}

int LibraryCommands::Reindex(std::ostream& out, std::ostream& err)
{
    Status status;
    auto module = MakeDataModule(m_folder, m_programFolder, err, status);
    if (!status || !(status = module->ReindexTables())) {
        ReportWarnings(*module, err);
        return Refuse(err, status.error);
    }
    ReportWarnings(*module, err);
    out << "Reindexed the library in " << module->LibraryFolder().string() << '\n';
    return 0;
}

} // namespace tambrel
