#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iosfwd>
#include <string>

namespace tambrel {

// `tambrel-cli find-similar`: the find dialog's search from the command line. It fills the
// library folder's method-find table as the dialog does and prints the dialog's counters.
class FindCommand {
public:
    FindCommand(CLI::App& app, std::filesystem::path programFolder);
    bool Parsed() const { return m_command->parsed(); }
    int Run(std::ostream& out, std::ostream& err);

    // The methods --json lists at most.
    static constexpr std::size_t kListedMethods = 1000;

private:
    std::filesystem::path m_programFolder;
    CLI::App* m_command = nullptr;

    std::string m_bells;
    std::string m_notation;
    std::string m_name;
    std::string m_type;
    bool m_rightPlaces = false;
    std::string m_group = "ALL";
    std::string m_limitText;
    std::string m_folder;
    bool m_json = false;
};

} // namespace tambrel
