#pragma once

#include "engine/Bells.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tambrel {

// The Central Council's classes, from the paths of the hunt bells over one plain lead.
enum class MethodClass {
    Principle, // no hunt bell
    Bob,
    Place,
    TrebleBob,
    Surprise,
    Delight,
    TreblePlace,
    Alliance,
    Hybrid,
};

struct Classification {
    MethodClass kind = MethodClass::Principle;
    bool little = false;
    bool differential = false;
    bool palindromic = false;
    bool doubleSymmetry = false;
    bool rotational = false;
    int huntBells = 0;

    // The class as the Council's collection writes it: "Surprise", "Differential Little Bob",
    // "Little Hybrid", "Principle", and "Differential" for a differential principle.
    const std::string& ClassWords() const;
    // "palindromic", "palindromic double rotational", ..., empty for none.
    const std::string& SymmetryWords() const;
    // The words a title carries between the name and the stage: no "Hybrid" or "Principle",
    // and "Little" only beside one of the seven named classes. Empty for a plain Hybrid.
    const std::string& Descriptor() const;
    // "Surprise", "Little Bob", "Hybrid", "Principle": the class an ordinary sentence names.
    const std::string& ClassName() const;
};

// Classifies the lead of `bells` bells whose changes are given (place symbols, implied external
// places optional, empty for the cross), by the changes alone.
Classification Classify(std::span<const std::string> changes, int bells);
// The same from the changes' movements, as a calculated method holds them.
Classification Classify(std::span<const Movement> moves, int bells);

// The class of a notation as a ringer types it (short, comma or written-out form); nothing when
// the notation is refused for `bells` bells.
std::optional<Classification> ClassifyTyped(std::string_view typed, int bells);

// What the entry dialog says of a method as it is typed: "Surprise, palindromic: CAMBRIDGE
// SURPRISE MAJOR" (class, symmetry, and the full title of the typed name).
std::string ClassLine(const Classification& c, std::string_view typedTitle, int bells);

// The names whose titles carry no class words whatever the class (Grandsire and Union and their
// Double, Reverse and Little forms), matched without regard to case.
bool IsNameWithoutDescriptor(std::string_view name, int bells);

// What follows the name in the title: "Surprise Major", "Triples" for Grandsire Triples.
const std::string& TitleSuffix(const Classification& c, std::string_view name, int bells);

// The suffix for a typed title, the name being what SplitTitle finds in it.
const std::string& TitleSuffixOf(std::string_view title, const Classification& c, int bells);

// Name + suffix, with no doubled blank when the name is empty ("Little Bob Major").
std::string FullTitle(const Classification& c, std::string_view name, int bells);

// The full title of a typed one: its name part (see SplitTitle) with the class and stage words
// the notation gives, in upper case when the typed title is.
std::string FullTitleOf(std::string_view typed, const Classification& c, int bells);

// A typed title taken apart: the name and the class and stage words found after it.
struct TitleParts {
    std::string name;  // as typed, trimmed
    std::string words; // the class words found, as typed ("Surprise", "Little Bob"), or empty
    int stage = 0;     // the stage whose name ends the title, 0 when none does
};
TitleParts SplitTitle(std::string_view title);

// What saving under `title` should say, for a method of `bells` bells classified as `c`.
struct TitleCheck {
    // The class or stage words disagree with the notation: the question to ask (default No).
    std::string disagreement;
    // The full title to offer when the name carries neither class nor stage words and the
    // full title differs from it; empty otherwise. Upper case when `title` is.
    std::string offer;
};
TitleCheck CheckTitle(std::string_view title, const Classification& c, int bells);

} // namespace tambrel
