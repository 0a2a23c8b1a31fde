#include "library/FindSimilar.h"

#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/MethodLookup.h"
#include "library/TfrmDataMod.h"

#include <exception>
#include <unordered_map>
#include <utility>

namespace tambrel {

std::string FindTotalsText(std::uint64_t newMethods, std::uint64_t existing)
{
    return std::to_string(newMethods) + " New Methods and " + std::to_string(existing) +
           " Existing Methods";
}

namespace {

// Heterogeneous lookup, so that a notation is looked up without a copy.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return std::hash<std::string_view>{}(text);
    }
};

Status Search(TfrmDataMod& module, const TBellStore& base, const FindRequest& request,
              const FindControl& control, FindOutcome& out)
{
    if (std::string refusal = FindRefusal(base); !refusal.empty()) {
        return Status::Fail(refusal);
    }
    if (std::string refusal = FindGroupRefusal(base.Bells(), request.group); !refusal.empty()) {
        return Status::Fail(refusal);
    }
    // The main library is only read: other programs may go on reading it meanwhile.
    if (Status opened = module.OpenTables("MAIN", TableAccess::Read); !opened) {
        return opened;
    }
    if (Status opened = module.OpenTables("FIND_BUILD"); !opened) {
        return opened;
    }
    TDbf& main = module.dbfMethods;
    TDbf& find = module.dbfTemp;
    if (Status ordered = main.SetOrderToTag("PLACES"); !ordered) {
        return ordered;
    }
    // Every notation of this bell count the main library names, read once: a lookup per
    // stored method would dominate the search. The first record of a notation wins, as a seek
    // finds it.
    const std::string bells = BellsKey(base.Bells());
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> names;
    main.GoTop();
    if (main.Find(bells)) {
        for (; !main.Eof() && main.FieldText("bells") == bells; main.Skip()) {
            names.emplace(UpperCase(TrimRight(main.FieldText("places"))),
                          Trim(main.FieldText("name")));
        }
    }
    if (Status unrestricted = find.SetWhileTo(""); !unrestricted) {
        return unrestricted;
    }
    // One write at the end: the old results stay on disk until the new ones are whole.
    find.BeginBulkUpdate();
    Status status;
    if (find.RecordCount() > 0) {
        status = find.Zap();
    }
    const std::string bellsValue = std::to_string(base.Bells());
    SimilarMethods search(base, request);
    const std::atomic<bool> never{false};
    const std::atomic<bool>& stop = control.stop != nullptr ? *control.stop : never;
    std::string name;
    const auto found = [&](std::string_view notation, std::string_view group) {
        const auto known = names.find(notation);
        if (known != names.end()) {
            name = known->second;
        } else {
            ++out.counts.newMethods;
            name.assign(1, '#');
            name += ZeroFill(static_cast<std::int64_t>(out.counts.newMethods), 6);
            name += " Unknown Method";
        }
        find.ClearRecord();
        for (const auto& [field, value] :
             {std::pair<std::string_view, std::string_view>{"bells", bellsValue},
              {"name", name},
              {"places", notation},
              {"group", group}}) {
            if (status = find.Replace(field, value); !status) {
                return false;
            }
        }
        if (status = find.AppendRec(); !status) {
            if (known == names.end()) {
                --out.counts.newMethods;
            }
            return false;
        }
        ++out.counts.found;
        if (out.methods.size() < control.keep) {
            out.methods.push_back({name, std::string(notation), std::string(group)});
        }
        return out.counts.found < control.most;
    };
    const auto progress = [&](std::uint64_t possibilities) {
        out.counts.possibilities = possibilities;
        if (control.progress) {
            control.progress(out.counts);
        }
    };
    bool finished = false;
    if (status) {
        finished = search.Run(stop, found, progress);
    }
    out.counts.possibilities = search.Possibilities();
    out.stopped = status.ok() && !finished;
    Status written = find.EndBulkUpdate();
    if (!written) {
        // What cannot be written is dropped: the table is again as its file says.
        find.DiscardChanges();
    }
    return status ? written : status;
}

} // namespace

FindOutcome FindSimilarMethods(TfrmDataMod& module, const TBellStore& base,
                               const FindRequest& request, const FindControl& control)
{
    FindOutcome out;
    try {
        out.status = Search(module, base, request, control, out);
    } catch (const std::exception& e) {
        // Memory ran out, most likely: the search ends as any failure does, and the find
        // library is left as its file says rather than half updated.
        out.status = Status::Fail(e.what());
        try {
            module.dbfTemp.DiscardChanges();
        } catch (const std::exception&) {
            // Nothing more can be done here; the file on disk is still whole.
        }
    }
    if (Status closed = module.CloseTables(); out.status && !closed) {
        out.status = closed;
    }
    return out;
}

} // namespace tambrel
