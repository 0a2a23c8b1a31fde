#pragma once

#include "engine/Bells.h"
#include "engine/Calls.h"
#include "engine/LeadHeadCode.h"
#include "engine/PlaceNotation.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tambrel {

// Which call lead BuildCallLead fills (design tokens "BOB" and "SINGLE").
enum class CallKind { Bob, Single };

// One method: its notation split into the changes of a lead, the movements, the tidy notation,
// the plain course, the lead-head code and the bob and single leads. Each open method owns
// one; everything that draws or analyses a method reads it and never writes it.
class TBellStore {
public:
    TBellStore() = default;
    // The owner pointer may point into the store itself, so a store is never copied.
    TBellStore(const TBellStore&) = delete;
    TBellStore& operator=(const TBellStore&) = delete;

    static constexpr int kMaxRows = 2000;     // rows of the plain course after rounds
    static constexpr int kMaxNameLength = 60; // characters

    // Inputs; the caller sets all three and checks the notation before Calculate.
    void SetBells(int bells);            // 4..16
    void SetName(std::string_view name); // kept upper case and cut to kMaxNameLength characters
    void SetPlaceNotation(std::string_view notation);

    // The call choice of the page that owns this store; without one the store keeps its own.
    void SetOwner(CallChoice* owner) { m_owner = owner != nullptr ? owner : &m_ownChoice; }
    CallChoice& Owner() { return *m_owner; }
    const CallChoice& Owner() const { return *m_owner; }

    // The calls library the call leads are built from; without one every call lead is the
    // plain lead turned about its lead end.
    void SetCallsLibrary(const CallsLibrary* calls) { m_calls = calls; }

    // Rebuilds everything from Bells, Name and PlaceNotation, the call choice reset to the
    // defaults. Precondition: 4 <= Bells <= 16 and CheckPlaceNotation accepted the notation.
    void Calculate();

    // Rebuilds only the call leads and lines from the owner's call choice (kept as it is).
    void RecalcCalls();

    // The default calls of the calculated method: codes and the lines the tenor rule sets.
    CallChoice DefaultCalls() const;

    // Only the changes, LeadLength, Symmetric and TidyNotation: what an import needs to store a
    // notation in tidy form.
    void ParseAndTidy();

    // The same and LeadHeadCode, from the first lead alone: what a methods import file records,
    // at the cost of one lead however long the course. The rest of the course and the calls are
    // not built. Precondition as for Calculate.
    void CalculateFirstLead();

    const std::string& Name() const { return m_name; }
    int Bells() const { return m_bells; }
    const std::string& PlaceNotation() const { return m_placeNotation; }
    bool Symmetric() const { return m_symmetric; }
    const std::string& LeadHeadCode() const { return m_leadHeadCode; }
    const std::string& TidyNotation() const { return m_tidyNotation; }
    // The lead in the Central Council's form ("-38-14-1258-36-14-58-16-78,12"), or in the short
    // form above: the two ways a notation is shown.
    std::string CCNotation() const;
    std::string ShownNotation(bool ccForm) const { return ccForm ? CCNotation() : m_tidyNotation; }
    int LeadLength() const { return m_leadLength; }
    bool CourseTooLong() const { return m_courseTooLong; }
    int RowCount() const { return m_rowCount; }

    // Whole leads in the plain course as rung (the cut course when it is too long).
    int LeadsInCourse() const { return m_leadLength > 0 ? m_rowCount / m_leadLength : 0; }

    // Row r (0..RowCount): 0 is rounds, r the row after change r of the course.
    const Row& RowAt(int r) const
    {
        assert(r >= 0 && r <= m_rowCount);
        return m_rows[static_cast<std::size_t>(r)];
    }
    std::string GetRowText(int r) const { return RowText(RowAt(r), m_bells); }

    // Movement of position p (1..Bells) in change i (1..LeadLength): -1, 0 or +1.
    int GetMove(int i, int p) const
    {
        assert(i >= 1 && i <= m_leadLength && p >= 1 && p <= kMaxBells);
        return m_moves[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(p - 1)];
    }

    // Change text i (1..LeadLength) of the plain lead; empty = cross.
    const std::string& GetChange(int i) const
    {
        assert(i >= 1 && i <= kMaxChanges);
        return m_changes[static_cast<std::size_t>(i - 1)];
    }
    std::span<const std::string> UsedChanges() const
    {
        return std::span<const std::string>(m_changes).first(
            static_cast<std::size_t>(m_leadLength));
    }

    std::span<const Movement> UsedMoves() const
    {
        return std::span<const Movement>(m_moves).first(static_cast<std::size_t>(m_leadLength));
    }

    // Change text i (1..LeadLength) of the bob and single leads: the plain lead turned so that
    // its lead end stands at the middle, with the call laid over it.
    const std::string& GetBobChange(int i) const
    {
        assert(i >= 1 && i <= kMaxChanges);
        return m_bobChanges[static_cast<std::size_t>(i - 1)];
    }
    const std::string& GetSingleChange(int i) const
    {
        assert(i >= 1 && i <= kMaxChanges);
        return m_singleChanges[static_cast<std::size_t>(i - 1)];
    }
    // Whether the calls library gave a bob (a single) that could be laid for this stage; without
    // one the call lead is only the plain lead turned.
    bool HasBob() const { return m_hasBob; }
    bool HasSingle() const { return m_hasSingle; }
    // Bell symbols whose lines the bob and single leads show.
    const std::string& BobLines() const { return m_bobLines; }
    const std::string& SingleLines() const { return m_singleLines; }

private:
    void Reset();
    // The changes, tidy notation, up to `leads` leads of the course and the lead-head code;
    // false for a stage outside 4..16.
    bool CalculateLeads(int leads);
    void BuildMoves();
    void BuildTidyNotation();
    void BuildPlainCourse(int leads); // at most this many
    void FindLeadHeadCode();
    void SetDefaultCalls();
    void LoadCalls();
    // Fills the bob or single lead with `places` laid over the turned plain lead. False, and
    // the turned plain lead alone, when the call cannot be laid: no notation, a notation the
    // stage refuses, or a call longer than the lead allows around its lead end.
    bool BuildCallLead(std::string_view places, CallKind kind);
    // The same with the call already split; an empty list lays nothing.
    bool LayCall(std::span<const std::string> call, CallKind kind);

    std::string m_name;
    int m_bells = 0;
    std::string m_placeNotation;
    bool m_symmetric = false;
    std::string m_leadHeadCode;
    std::string m_tidyNotation;
    int m_leadLength = 0; // changes in one lead, 0 before the first split, else 1..100
    bool m_courseTooLong = false;
    int m_rowCount = 0; // a whole number of leads, 0..kMaxRows
    tambrel::LeadEndType m_leadEndType = LeadEndType::PB;

    CallChoice m_defaults; // of the current calculation
    CallChoice m_ownChoice;
    CallChoice* m_owner = &m_ownChoice;
    const CallsLibrary* m_calls = nullptr;
    std::string m_bobLines;
    std::string m_singleLines;
    bool m_hasBob = false;
    bool m_hasSingle = false;

    ChangeList m_changes{};
    ChangeList m_bobChanges{};
    ChangeList m_singleChanges{};
    std::array<Movement, kMaxChanges> m_moves{};
    // For each change, the position (0-based) each new row position takes its bell from; past
    // the stage a position takes its own, so the unused tail of every row stays 0.
    std::array<std::array<std::uint8_t, kMaxBells>, kMaxChanges> m_sources{};
    // Row 0 is rounds. Positions past the stage stay 0, so == compares rows at any stage.
    std::array<Row, kMaxRows + 1> m_rows{};
};

} // namespace tambrel
