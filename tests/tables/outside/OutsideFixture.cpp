// Builds and changes a method table through the engine, for the outside-reader check:
//   outside_fixture make FOLDER IMPORT.csv [BELLS:NAME to delete ...]
//   outside_fixture pack|zap|reopen FOLDER
#include "library/LibraryTables.h"
#include "tables/DelimitedAppend.h"
#include "tables/FileIo.h"
#include "tables/TDbf.h"

#include <filesystem>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    using namespace tambrel;
    const std::string step = argc >= 3 ? argv[1] : "";
    if (step.empty()) {
        std::cerr << "usage: outside_fixture make|pack|zap|reopen FOLDER [...]\n";
        return 2;
    }
    const std::filesystem::path folder = argv[2];
    Status status;
    if (step == "make" && argc >= 4) {
        std::filesystem::create_directories(folder);
        status = CreateTable(folder / "Methods.dbf", kMethodLayout);
    }
    const auto index = FindIgnoringCase(folder, "Methods.mdx");
    if (step == "reopen" && index) {
        std::filesystem::remove(*index);
    }
    TDbf table(kMethodTags);
    table.SetDbfFileName(folder / "Methods.dbf");
    if (status) {
        status = table.Open();
    }
    if (status && step == "make") {
        status = AppendFromDelimited(table, argv[3]).status;
        table.SetOrderToTag("NAME");
        for (int i = 4; status && i < argc; ++i) {
            const std::string which = argv[i];
            const std::size_t colon = which.find(':');
            std::string key = which.substr(0, colon);
            key.resize(2, ' ');
            status = table.FindExact(key + which.substr(colon + 1))
                         ? table.DeleteRec()
                         : Status::Fail("not found: " + which);
        }
    } else if (status && step == "pack") {
        status = table.Pack();
    } else if (status && step == "zap") {
        status = table.Zap();
    }
    if (Status closed = table.Close(); status && !closed) {
        status = closed;
    }
    if (!status) {
        std::cerr << status.error << '\n';
    }
    return status ? 0 : 1;
}
