#include "engine/Calls.h"

#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "engine/TextFunctions.h"

namespace tambrel {

std::string CallsLibrary::NormalRef(std::string_view ref)
{
    return Right("00" + Trim(ref), 2);
}

void CallsLibrary::Add(int bells, std::string_view ref, std::string name, std::string places,
                       std::string lines)
{
    CallRecord call;
    call.name = std::move(name);
    call.places = std::move(places);
    call.lines = std::move(lines);
    if (IsValidStage(bells) && !Trim(call.places).empty() &&
        CheckPlaceNotation(call.places, bells).empty()) {
        ChangeList split;
        const int count = SplitNotation(call.places, bells, split);
        call.changes.assign(split.begin(), split.begin() + count);
    }
    m_calls.insert_or_assign({bells, NormalRef(ref)}, std::move(call));
}

const CallRecord* CallsLibrary::Find(int bells, std::string_view ref) const
{
    const std::string wanted = Trim(ref);
    if (wanted.size() != 2) {
        return nullptr; // codes are two characters; anything else names no call
    }
    const auto it = m_calls.find({bells, wanted});
    return it == m_calls.end() ? nullptr : &it->second;
}

} // namespace tambrel
