#pragma once

#include "analysis/Touch.h"
#include "display/TBellView.h"

#include <QColor>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace tambrel {

class TBellStore;

// A touch of the page's method: its calling proved, the result line, the calls with their
// calling positions and the music, then the rows lead by lead in columns as the diagram draws a
// course, the calls beside their lead ends and every row rung more than once marked.
class TouchView : public TBellView {
public:
    // `calling` is the page's calling text, read afresh at each computing, lead by lead or,
    // with `byPositions`, by calling positions of the observation bell (the tenor when it is 0
    // or not a working bell of the stage).
    TouchView(const TBellStore& store, const std::string& calling, const bool& byPositions,
              const int& observation)
        : m_store(store), m_calling(calling), m_byPositions(byPositions), m_observation(observation)
    {
    }

    // The method on page `page` (1..5) of the window, for spliced leads; null where there is
    // none. Methods of another stage are left out.
    std::function<const TBellStore*(int page)> pageMethod;

    void Compute() override;
    int Observed() const; // the observation bell in use
    void Render(Surface& surface) override;

    // The result line of the last computing, or why the calling was refused.
    const QString& ResultText() const { return m_result; }
    bool Proved() const { return m_proved; }
    const TouchProof& Proof() const { return m_proof; }

    // The band behind the figures of a row rung more than once: neither the red nor the blue
    // of the lines, on screen or on paper.
    static QColor FalseRowColour() { return QColor(255, 200, 120); }

private:
    struct Column {
        int first = 0;  // index of its first row (the lead head) in the rows
        int length = 0; // changes drawn after it
        int leadLength = 0;
        int page = 0;
        LeadCall call = LeadCall::Plain;
        QString mark; // the call's calling position, or "b" / "s"
    };

    const TBellStore& m_store;
    const std::string& m_calling;
    const bool& m_byPositions;
    const int& m_observation;
    TouchProver m_prover;
    TouchProof m_proof;
    bool m_proved = false;
    bool m_spliced = false;
    QString m_result;
    QStringList m_details; // leads, calls and pages, written under the result line
    std::vector<Column> m_columns;
    std::vector<bool> m_repeated; // by row: rung more than once
};

} // namespace tambrel
