#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {

class CallsLibrary;
struct OptionRecord;
class TfrmDataMod;
struct Status;

// Every repair a command makes or finds is said on `err`, so that none passes unnoticed.
void ReportWarnings(TfrmDataMod& module, std::ostream& err);

// The data module of the library folder `folder` (the default one when empty), its tables
// made when missing; `status` says whether that worked.
std::unique_ptr<TfrmDataMod> MakeDataModule(const std::string& folder,
                                            const std::filesystem::path& programFolder,
                                            std::ostream& err, Status& status);

// The calls for `method` and `batch`: those of the library folder `folder` when one is named
// (its tables made if missing, as the library commands do); otherwise those of the default
// library folder when it holds a calls table, else the bundled calls data. Never makes a
// folder unasked. Warnings go to `err`; false and `error` set when no calls can be had.
bool LoadCliCalls(const std::string& folder, const std::filesystem::path& programFolder,
                  CallsLibrary& calls, std::ostream& err, std::string& error);

// The calls and the stored options of the library folder `folder` (its tables made if missing),
// for the commands that calculate a method or draw up a sheet. Warnings go to `err`; false and
// `error` set when the library cannot be read.
bool LoadCliLibrary(const std::string& folder, const std::filesystem::path& programFolder,
                    CallsLibrary& calls, std::vector<OptionRecord>& options, std::ostream& err,
                    std::string& error);

// `tambrel-cli library info|list|find|reindex`: the library tables from the command line,
// through the same data module the desktop program uses.
class LibraryCommands {
public:
    LibraryCommands(CLI::App& app, std::filesystem::path programFolder);
    bool Parsed() const { return m_library->parsed(); }
    int Run(std::ostream& out, std::ostream& err);

private:
    int Info(std::ostream& out, std::ostream& err);
    int List(std::ostream& out, std::ostream& err);
    int Find(std::ostream& out, std::ostream& err);
    int Reindex(std::ostream& out, std::ostream& err);

    std::filesystem::path m_programFolder;
    CLI::App* m_library = nullptr;
    CLI::App* m_info = nullptr;
    CLI::App* m_list = nullptr;
    CLI::App* m_find = nullptr;
    CLI::App* m_reindex = nullptr;

    std::string m_folder;
    bool m_json = false;
    std::string m_table = "MAIN";
    std::string m_bells;
    std::string m_group = "ALL";
    std::string m_by = "name";
    std::string m_from;
    std::string m_limitText = "20";
    std::string m_name;
    std::string m_notation;
};

} // namespace tambrel
