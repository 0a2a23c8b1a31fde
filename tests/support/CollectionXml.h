#pragma once

// The bundled main library written as the Central Council's XML collection, for tests and
// benchmarks of the XML reader on a file of the real collection's size and shape.

#include "engine/TBellStore.h"
#include "tables/Delimited.h"

#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel::test {

// One record of a methods import file.
struct LibraryMethod {
    int bells = 0;
    std::string name;
    std::string places; // tidy notation, this program's grammar
    std::string group;  // lead-head code
};

// The methods of a methods import file such as data/Methods.csv (the marker record skipped).
inline std::vector<LibraryMethod> ReadLibraryMethods(const std::string& path)
{
    std::vector<LibraryMethod> methods;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        if (values.size() < 4 || values[0] == "0") {
            continue;
        }
        methods.push_back({std::stoi(values[0]), values[1], values[2], values[3]});
    }
    return methods;
}

inline std::string EscapeXml(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        out += c == '&'   ? "&amp;"
               : c == '<' ? "&lt;"
               : c == '>' ? "&gt;"
               : c == '"' ? "&quot;"
                          : std::string(1, c);
    }
    return out;
}

// The lead of a calculated method written out change by change, in the Council's notation
// without a comma (which its reader takes as written).
inline std::string WrittenLead(const TBellStore& store)
{
    std::string lead;
    bool lastWasPlaces = false;
    for (int i = 1; i <= store.LeadLength(); ++i) {
        const std::string& change = store.GetChange(i);
        const bool places = !change.empty(); // an empty change is a cross
        if (places && lastWasPlaces) {
            lead += '.';
        }
        lead += places ? change : "-";
        lastWasPlaces = places;
    }
    return lead;
}

// Writes `methods` as the Council's XML: methods sets of at most 40 methods of one stage, each
// method with its whole lead written out change by change (the comma form without a comma),
// its lead head and code, and a first peal and a reference, about as long as the Council's own
// entries. `copies` writes the collection that many times over, for a file larger than it.
inline void WriteCollectionXml(std::ostream& out, const std::vector<LibraryMethod>& methods,
                               std::string_view date, int copies = 1)
{
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<collection xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" date=\""
        << date
        << "\" xmlns=\"http://www.cccbr.org.uk/methods/schemas/2007/05/methods\">\n"
           "  <collectionName>Central Council Collection of Methods</collectionName>\n"
           "  <notes>Written from the bundled library for tests</notes>\n";
    auto store = std::make_unique<TBellStore>();
    int id = 0;
    for (int copy = 0; copy < copies; ++copy) {
        int inSet = 0;
        int setStage = 0;
        for (const LibraryMethod& method : methods) {
            if (method.bells != setStage || inSet == 40) {
                if (setStage != 0) {
                    out << "  </methodSet>\n";
                }
                out << "  <methodSet>\n    <notes>Methods on " << method.bells
                    << " bells</notes>\n    <properties>\n      <stage>" << method.bells
                    << "</stage>\n      <classification>Surprise</classification>\n"
                       "      <numberOfHunts>1</numberOfHunts>\n    </properties>\n";
                setStage = method.bells;
                inSet = 0;
            }
            ++inSet;
            store->SetBells(method.bells);
            store->SetName(method.name);
            store->SetPlaceNotation(method.places);
            store->Calculate();
            out << "    <method id=\"m" << ++id << "\">\n      <title>" << EscapeXml(method.name)
                << "</title>\n      <name>" << EscapeXml(method.name) << "</name>\n      <notation>"
                << WrittenLead(*store) << "</notation>\n      <symmetry>"
                << (store->Symmetric() ? "palindromic" : "") << "</symmetry>\n";
            if (method.group != "Z") {
                std::string code = method.group;
                code[0] = static_cast<char>(code[0] - 'A' + 'a');
                out << "      <leadHeadCode>" << code << "</leadHeadCode>\n";
            }
            out << "      <leadHead>" << store->GetRowText(store->LeadLength())
                << "</leadHead>\n      <performances>\n        <firstTowerbellPeal>\n"
                   "          <date>2004-01-27</date>\n          <location>\n"
                   "            <building>St James the Apostle</building>\n"
                   "            <town>Bushey</town>\n"
                   "            <county>Hertfordshire</county>\n          </location>\n"
                   "          <society>Saint James' Guild</society>\n"
                   "        </firstTowerbellPeal>\n      </performances>\n"
                   "      <references>\n        <rwRef>2004/"
                << id % 1000 << "</rwRef>\n      </references>\n    </method>\n";
        }
        if (setStage != 0) {
            out << "  </methodSet>\n";
        }
    }
    out << "</collection>\n";
}

// A collection as the Council writes it, small enough to write inline.
inline std::string Collection(const std::string& body, const std::string& date = "2026-06-08")
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<collection date=\"" + date +
           "\" xmlns=\"http://www.cccbr.org.uk/methods/schemas/2007/05/methods\">\n" + body +
           "</collection>\n";
}

inline std::string MethodSet(int stage, const std::string& methods)
{
    return "<methodSet><properties><stage>" + std::to_string(stage) + "</stage></properties>\n" +
           methods + "</methodSet>\n";
}

inline std::string Method(const std::string& title, const std::string& notation)
{
    return "<method><title>" + title + "</title><notation>" + notation + "</notation></method>\n";
}

} // namespace tambrel::test
