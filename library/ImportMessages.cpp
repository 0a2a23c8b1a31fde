#include "library/ImportMessages.h"

namespace tambrel {

std::string ImportFromFileText(bool methods, std::string_view fileName)
{
    return std::string(methods ? "Import Methods from the file " : "Import Calls from the file ") +
           std::string(fileName);
}

std::string UnableToImportText(bool methods, std::string_view fullName)
{
    return std::string(methods ? "Unable to import Methods from file:\r\r"
                               : "Unable to import Calls from file:\r\r") +
           std::string(fullName);
}

std::string RenameQuestion(std::string_view name, std::string_view storedName)
{
    return std::string(name) + " exists in the Method Library" + "\r\r" + "but with the name " +
           std::string(storedName) + "." + "\r\r" + "Do you want change the name?";
}

std::string RemovePersonalQuestion(std::string_view personalName, std::string_view mainName)
{
    return std::string(personalName) + " in your Personal Library" + "\r\r" +
           "is in the Main Library as " + std::string(mainName) + "." + "\r\r" +
           "Do you want to Delete it from your Personal Library?";
}

std::string MethodsCheckedText(std::size_t examined, std::size_t added, std::size_t renamed)
{
    return std::to_string(examined) + " Methods Checked, " + std::to_string(added) + " Imported, " +
           std::to_string(renamed) + " Renamed.";
}

std::string MethodsImportedText(std::size_t added)
{
    return std::to_string(added) + " Methods Imported";
}

std::string CallsImportedText(std::size_t added)
{
    return std::to_string(added) + " Calls Imported";
}

std::string LeftOutText(std::size_t leftOut)
{
    return std::to_string(leftOut) + " Left Out.";
}

std::string ReplaceQuestion(bool methods, std::size_t held, std::size_t given,
                            std::string_view fileName)
{
    const auto count = [methods](std::size_t n) {
        return std::to_string(n) + (methods ? " Method" : " Call") + (n == 1 ? "" : "s");
    };
    return "Replace the " + count(held) + " of the " +
           (methods ? "Main Library" : "Calls Library") + " with the " + count(given) + " of " +
           std::string(fileName) + "?";
}

std::string NothingToReplaceText(bool methods, std::string_view fileName)
{
    return std::string(fileName) + " holds no " + (methods ? "method" : "call") + " that the " +
           (methods ? "Main Library" : "Calls Library") +
           " can take, so it was not replaced.\r\rNothing was changed.";
}

} // namespace tambrel
