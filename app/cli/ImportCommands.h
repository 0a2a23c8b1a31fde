#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iosfwd>
#include <string>

namespace tambrel {

// `tambrel-cli import-methods` and `import-calls`: the import dialogs without their questions,
// for scripts and for bringing a newer bundled collection into a library. Each prints the
// dialog's last progress label.
class ImportCommands {
public:
    ImportCommands(CLI::App& app, std::filesystem::path programFolder);
    bool Parsed() const { return m_methods->parsed() || m_calls->parsed(); }
    int Run(std::ostream& out, std::ostream& err);

private:
    int ImportMethods(std::ostream& out, std::ostream& err);
    int ImportCalls(std::ostream& out, std::ostream& err);

    std::filesystem::path m_programFolder;
    CLI::App* m_methods = nullptr;
    CLI::App* m_calls = nullptr;

    std::string m_file;
    std::string m_folder;
    std::string m_mode;
    std::string m_rename = "no";
    std::string m_checkPersonal = "no";
};

} // namespace tambrel
