#pragma once

#include "engine/Calls.h"
#include "engine/OptionsStore.h"

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// Every user setting: how diagrams are drawn, the calls used, how falseness is shown, how
// printing is done, and a few remembered dialog choices. One instance serves the whole
// program (GlobalOptions, loaded at start and saved at exit); each method page has its own.
// The call fields (BobType, BobLines, SingleType, SingleLines) come from CallChoice.
class TBellOptions : public CallChoice {
public:
    int Bells = 8;     // 4..16: the bell count last used
    int Treble = 3;    // 1 no line, 2 crossing only, 3 full line, 4 full line & crossing
    int BlueBell1 = 2; // 0..16, 0 = none
    int BlueBell2 = 0; // 0..16, 0 = none
    int Numbers = 0;   // row style 0..3 (4 only inside the diagram, for the grid column)
    int Size = 1;      // 0 compressed, 1 normal, 2 expanded, 3 fixed
    bool Fit2Screen = true;
    bool ShowTitle = true;
    bool ShowGrid = false;
    bool ShowBob = true;
    bool ShowSingle = false;
    int LeadToShow = 0; // 0 = all leads, else the one lead drawn
    bool Colour = true;
    bool GreyNumbers = false;
    bool Continuous = false;
    bool TidyPN = true;
    // Notations shown in the Central Council's form rather than the short form: a per-user
    // preference kept in the settings file, not among the library's stored options.
    bool CCNotation = false;
    bool Handstrokes = false;
    int Copies = 1;      // 1..99
    int PrintPoster = 0; // 0 off, else 2, 3 or 4 lead columns per page width
    bool PrintColour = true;
    std::string PrintOrient = "Portrait"; // anything else means landscape
    bool OddFCH = true;
    bool SplitTenorFCH = true;
    bool TB2Notation = false;
    bool SaveOpenPos = true;
    bool CheckMyLib = false;

    using Record = OptionRecord;

    // Sets a setting by its key name from text ("True"/"False" in any case, decimal integers);
    // the problem in words when the key or value is not usable, the setting unchanged.
    std::string SetValue(std::string_view key, std::string_view value);
    std::string ValueText(std::string_view key) const; // "" for an unknown key

    // What a value typed for a setting must be beyond what the options table accepts: a yes/no
    // setting takes only True or False (any case), PrintOrient only Portrait or Landscape, the
    // call lines only bell symbols. The problem in words, or "" when the value is good.
    static std::string StrictProblem(std::string_view key, std::string_view value);

    // The stored settings from option records: keys compared with case, later records
    // winning, unknown keys skipped. Returns the problems found (values kept at their default).
    std::vector<std::string> LoadRecords(const std::vector<Record>& records);
    // The 24 stored settings in their fixed order.
    std::vector<Record> SaveRecords() const;

    // Load from and save to `store` (the options table of the library). A missing or unreadable
    // table leaves the defaults; every problem goes into `warnings`. Saving replaces the whole
    // table in one write, so a crash while saving leaves the previous options.
    void Load(OptionsStore& store, std::vector<std::string>& warnings);
    std::string Save(OptionsStore& store) const; // "" when saved, else the message

    // A page's settings for a method of `bells` bells entered or opened: the display settings
    // of `global`, with the sizes and call columns the stage can show.
    void InitialiseFrom(const TBellOptions& global, int bells);

    static const std::vector<std::string_view>& StoredKeys();
};

} // namespace tambrel
