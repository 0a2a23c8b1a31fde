// Builds and changes a method table through the engine, for the outside-reader check:
//   outside_fixture make FOLDER IMPORT.csv [BELLS:NAME to delete ...]
//   outside_fixture pack|zap|reopen FOLDER
#include "library/LibraryTables.h"
#include "tables/FileIo.h"
#include "tables/TDbf.h"

#include <filesystem>
#include <iostream>
#include <string>

namespace {

int Fail(const tambrel::Status& status)
{
    std::cerr << status.error << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tambrel;
    if (argc < 3) {
        std::cerr << "usage: outside_fixture make|pack|zap|reopen FOLDER [...]\n";
        return 2;
    }
    const std::string step = argv[1];
    const std::filesystem::path folder = argv[2];
    const std::filesystem::path path = folder / "Methods.dbf";
    if (step == "make" && argc >= 4) {
        std::filesystem::create_directories(folder);
        if (Status made = CreateTable(path, kMethodLayout); !made) {
            return Fail(made);
        }
    }
    if (step == "reopen") {
        if (const auto index = FindIgnoringCase(folder, "Methods.mdx")) {
            std::filesystem::remove(*index);
        }
    }
    TDbf table(kMethodTags);
    table.SetDbfFileName(path);
    if (Status opened = table.Open(); !opened) {
        return Fail(opened);
    }
    Status status;
    if (step == "make") {
        const DelimitedReport report = table.AppendFromDelimited(argv[3]);
        status = report.status;
        table.SetOrderToTag("NAME");
        for (int i = 4; status && i < argc; ++i) {
            const std::string which = argv[i];
            const std::size_t colon = which.find(':');
            std::string key = which.substr(0, colon);
            key.resize(2, ' ');
            if (!table.FindExact(key + which.substr(colon + 1))) {
                std::cerr << "not found: " << which << '\n';
                return 1;
            }
            status = table.DeleteRec();
        }
    } else if (step == "pack") {
        status = table.Pack();
    } else if (step == "zap") {
        status = table.Zap();
    }
    if (Status closed = table.Close(); status && !closed) {
        status = closed;
    }
    return status ? 0 : Fail(status);
}
