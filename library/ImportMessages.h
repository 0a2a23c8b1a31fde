#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tambrel {

// Texts of the method and calls imports, byte for byte; "\r\r" is shown as a line break with a
// blank line.
inline constexpr std::string_view kMsgSelectMethodsFile =
    "Select the File from which to Import Methods";
inline constexpr std::string_view kMsgSelectCallsFile =
    "Select the File from which to Import Calls";
inline constexpr std::string_view kMsgProgress = "Progress";
inline constexpr std::string_view kMsgReadingImportFile = "Reading import file ...";
inline constexpr std::string_view kMsgReadyToImport = "Ready to Import";
inline constexpr std::string_view kMsgImportingMethods = "Importing Methods ...";
inline constexpr std::string_view kMsgReindexingLibrary = "Re-indexing Library...";
inline constexpr std::string_view kMsgCheckingPersonal = "Checking Personal Library...";
inline constexpr std::string_view kMsgImportingCalls = "Importing Calls ...";
inline constexpr std::string_view kMsgReindexingCalls = "Re-indexing Calls...";

// The file label once a file is accepted: "Import Methods from the file " + its name.
std::string ImportFromFileText(bool methods, std::string_view fileName);
// The refusal of a whole file: "Unable to import Methods from file:\r\r" + its full name.
std::string UnableToImportText(bool methods, std::string_view fullName);
// The rename question for a notation the library holds under another name.
std::string RenameQuestion(std::string_view name, std::string_view storedName);
// The question for a personal method that the main library holds.
std::string RemovePersonalQuestion(std::string_view personalName, std::string_view mainName);
// The progress label after an import: "IMPORT" and "REPLACE" of methods, and of calls.
std::string MethodsCheckedText(std::size_t examined, std::size_t added, std::size_t renamed);
std::string MethodsImportedText(std::size_t added);
std::string CallsImportedText(std::size_t added);
// Beside them, the methods of a collection that no library can hold: "119 Left Out."
std::string LeftOutText(std::size_t leftOut);
// The question before a library is replaced, with what it holds and what the file gives it.
std::string ReplaceQuestion(bool methods, std::size_t held, std::size_t given,
                            std::string_view fileName);
// The refusal of a replace by a file with nothing the library can take.
std::string NothingToReplaceText(bool methods, std::string_view fileName);

} // namespace tambrel
