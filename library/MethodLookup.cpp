#include "library/MethodLookup.h"

#include "engine/TextFunctions.h"
#include "library/SaveMessages.h"

namespace tambrel {

namespace {

constexpr std::size_t kMaxStoredNotation = 98; // the places field

} // namespace

std::string BellsKey(int bells)
{
    std::string key = std::to_string(bells);
    key.resize(2, ' ');
    return key;
}

bool FindMethod(TDbf& methods, FindBy by, std::string_view bellsKey, std::string_view text)
{
    const std::string_view tag = by == FindBy::Name ? "NAME" : "PLACES";
    // Ordering again costs nothing in the seek, but an import looks up every record it reads.
    if (methods.CurrentTag() != tag && !methods.SetOrderToTag(tag)) {
        return false;
    }
    std::string key(bellsKey);
    key += text;
    return methods.FindExact(key);
}

Status RenameMethod(TDbf& methods, std::string_view name)
{
    Status status = methods.Replace("name", name);
    if (status) {
        status = methods.ReplaceRec();
    }
    return status;
}

Status AppendMethod(TDbf& methods, std::string_view bells, std::string_view name,
                    std::string_view places, std::string_view group)
{
    methods.ClearRecord();
    Status status;
    for (const auto& [field, value] : {std::pair<const char*, std::string_view>{"bells", bells},
                                       {"name", name},
                                       {"places", places},
                                       {"group", group}}) {
        if (status) {
            status = methods.Replace(field, value);
        }
    }
    if (status) {
        status = methods.AppendRec();
    }
    return status;
}

HeldMethod LookUpHeld(TDbf& methods, int bells, std::string_view name, std::string_view tidy)
{
    HeldMethod held;
    if (tidy.size() > kMaxStoredNotation) {
        return held;
    }
    const std::string key = BellsKey(bells);
    if (FindMethod(methods, FindBy::Name, key, name)) {
        held.places = Trim(methods.FieldText("places"));
    }
    // Last, so that the record a rename writes is current.
    if (FindMethod(methods, FindBy::Places, key, tidy)) {
        held.name = UpperCase(Trim(methods.FieldText("name")));
    }
    return held;
}

SaveDecision DecideSave(std::string_view name, std::string_view tidy, const HeldMethod& held)
{
    if (tidy.size() > kMaxStoredNotation) {
        return {SaveOutcome::TooLong, std::string(kMsgNotationTooLong)};
    }
    // Also when the name is stored with this notation and another record repeats it.
    if (held.name == name || held.places == tidy) {
        return {SaveOutcome::AlreadyStored, std::string(kMsgAlreadyInLibrary)};
    }
    if (held.places.empty()) {
        return held.name.empty()
                   ? SaveDecision{SaveOutcome::Append, {}}
                   : SaveDecision{SaveOutcome::AskRename, RenameStoredQuestion(held.name)};
    }
    return held.name.empty() ? SaveDecision{SaveOutcome::NameTaken, NameTakenText(name)}
                             : SaveDecision{SaveOutcome::BothTaken, BothTakenText(held.name, name)};
}

UniqueReport ReportUnique(std::string_view inMain, std::string_view inPersonal)
{
    if (!inMain.empty()) {
        return {true, InMainLibraryText(inMain)};
    }
    return {false, inPersonal.empty() ? std::string(kMsgInNeitherLibrary)
                                      : InPersonalLibraryText(inPersonal)};
}

// The texts of SaveMessages.h.

std::string RenameStoredQuestion(std::string_view storedName)
{
    return "This Method already exists as:\r\r" + std::string(storedName) +
           "\r\rDo you want to rename it?";
}

std::string NameTakenText(std::string_view name)
{
    return "A Method already exists with the name\r\r" + std::string(name) +
           "\r\rso this Method must be renamed before saving.";
}

std::string BothTakenText(std::string_view storedName, std::string_view name)
{
    return "This Method already exists as:\r\r" + std::string(storedName) +
           "\r\rand a different method exists with the name\r\r" + std::string(name) +
           "\r\rso the Method cannot be saved.";
}

std::string InMainLibraryText(std::string_view name)
{
    return "This method exists in the Main Library as:\r\r" + std::string(name);
}

std::string InPersonalLibraryText(std::string_view name)
{
    return "This method is not in the Main Library and so it is probably unique.\r\rIt exists "
           "in your Personal Library as:\r\r" +
           std::string(name);
}

} // namespace tambrel
