// Fuzz target for the notation check, the splitter and a method's calculation. The first byte
// picks the number of bells (1..20, so refused stages are reached too); the rest is the
// notation. Properties: nothing crashes; the splitter never gives more than 100 changes;
// an accepted notation splits into changes whose tidy form is accepted and splits back to the
// same changes; a calculated course keeps its invariants.
#include "engine/Bells.h"
#include "engine/Calls.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

bool IsPermutation(const tambrel::Row& row, int bells)
{
    unsigned seen = 0;
    for (int p = 0; p < bells; ++p) {
        const int bell = row[static_cast<std::size_t>(p)];
        if (bell < 1 || bell > bells) {
            return false;
        }
        seen |= 1U << static_cast<unsigned>(bell);
    }
    return seen == ((1U << static_cast<unsigned>(bells + 1)) - 2U);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tambrel;
    if (size == 0) {
        return 0;
    }
    const int bells = data[0] % 20 + 1;
    const std::string_view notation(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string error = CheckPlaceNotation(notation, bells);
    static ChangeList changes;
    const int count = SplitNotation(notation, bells, changes);
    TAMBREL_REQUIRE(count >= 0 && count <= kMaxChanges);
    if (!error.empty() || !IsValidStage(bells)) {
        return 0;
    }

    TAMBREL_REQUIRE(count >= 1);
    for (int i = 0; i < count; ++i) {
        const std::string& change = changes[static_cast<std::size_t>(i)];
        for (std::size_t k = 0; k < change.size(); ++k) {
            const int place = BellOf(change[k]);
            TAMBREL_REQUIRE(place >= 1 && place <= bells);
            TAMBREL_REQUIRE(k == 0 || BellOf(change[k - 1]) < place);
        }
    }

    static auto store = std::make_unique<TBellStore>();
    store->SetBells(bells);
    store->SetName("FUZZ");
    store->SetPlaceNotation(notation);
    store->Calculate();
    TAMBREL_REQUIRE(store->LeadLength() == count);
    TAMBREL_REQUIRE(store->RowCount() % count == 0 && store->RowCount() <= TBellStore::kMaxRows);
    TAMBREL_REQUIRE(store->RowCount() >= count);
    for (int r = 0; r <= store->RowCount(); ++r) {
        TAMBREL_REQUIRE(IsPermutation(store->RowAt(r), bells));
    }
    if (!store->CourseTooLong()) {
        TAMBREL_REQUIRE(store->RowAt(store->RowCount()) == Rounds(bells));
    } else {
        TAMBREL_REQUIRE(store->RowCount() + count > TBellStore::kMaxRows);
    }

    // The same text as a call: laid or not, the call leads stay leads of valid changes.
    static CallsLibrary calls;
    calls = CallsLibrary{};
    calls.Add(bells, "01", "Fuzz", std::string(notation), "23");
    store->SetCallsLibrary(&calls);
    store->Owner() = CallChoice{"01", "", "", ""};
    store->RecalcCalls();
    store->SetCallsLibrary(nullptr);
    for (int i = 1; i <= count; ++i) {
        const std::string& change = store->GetBobChange(i);
        for (std::size_t k = 0; k < change.size(); ++k) {
            TAMBREL_REQUIRE(BellOf(change[k]) >= 1 && BellOf(change[k]) <= bells);
            TAMBREL_REQUIRE(k == 0 || BellOf(change[k - 1]) < BellOf(change[k]));
        }
    }
    if (count < kMaxChanges) {
        TAMBREL_REQUIRE(store->GetBobChange(count + 1).empty()); // nothing past the lead
    }

    // The tidy form is accepted and gives the same lead back.
    const std::string tidy = store->TidyNotation();
    TAMBREL_REQUIRE(CheckPlaceNotation(tidy, bells).empty());
    static ChangeList again;
    TAMBREL_REQUIRE(SplitNotation(tidy, bells, again) == count);
    for (int i = 0; i < count; ++i) {
        TAMBREL_REQUIRE(again[static_cast<std::size_t>(i)] == changes[static_cast<std::size_t>(i)]);
    }
    return 0;
}
