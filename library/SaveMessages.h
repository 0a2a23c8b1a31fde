#pragma once

#include <string>
#include <string_view>

namespace tambrel {

// Texts of saving a method to a library and of the check for it there, byte for byte; "\r" is
// shown as a line break.
inline constexpr std::string_view kMsgNotationTooLong =
    "The Place Notation of this Method is too long \rto store in the Method Library.";
inline constexpr std::string_view kMsgAlreadyInLibrary =
    "This Method is already in the Method Library";
inline constexpr std::string_view kMsgSavedToMain = "Saved to the Main Library.";
inline constexpr std::string_view kMsgSavedToPersonal = "Saved to the Personal Library.";
inline constexpr std::string_view kMsgInNeitherLibrary =
    "This method is not in either Library\rand so it is probably unique.";

// The question when the notation is stored under another name.
std::string RenameStoredQuestion(std::string_view storedName);
// The refusal when the name is stored with another notation.
std::string NameTakenText(std::string_view name);
// The refusal when both are stored, each with something else.
std::string BothTakenText(std::string_view storedName, std::string_view name);
// Where the unique check found the notation.
std::string InMainLibraryText(std::string_view name);
std::string InPersonalLibraryText(std::string_view name);

} // namespace tambrel
