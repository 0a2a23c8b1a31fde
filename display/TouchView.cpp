#include "display/TouchView.h"

#include "analysis/CallingPositions.h"
#include "display/SheetHeading.h"
#include "engine/TBellStore.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPen>
#include <QRawFont>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <unordered_map>

namespace tambrel {

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Breaks `text` into lines no wider than `width`, at blanks where it can.
QStringList Wrapped(const QFontMetrics& metrics, const QString& text, int width)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (metrics.horizontalAdvance(longer) <= width || line.isEmpty()) {
            line = longer;
        } else {
            lines << line;
            line = word;
        }
        while (line.size() > 1 && metrics.horizontalAdvance(line) > width) {
            int cut = line.size() - 1;
            while (cut > 1 && metrics.horizontalAdvance(line.left(cut)) > width) {
                --cut;
            }
            lines << line.left(cut);
            line = line.mid(cut);
        }
    }
    lines << line;
    return lines;
}

// One line of the text above the rows: a table line has its count right-aligned at a tab.
struct TextLine {
    QString text;
    QString count;
    bool bold = false;
};

} // namespace

int TouchView::Observed() const
{
    const int bells = m_store.Bells();
    return m_observation >= 2 && m_observation <= bells ? m_observation : bells;
}

void TouchView::Compute()
{
    m_proved = false;
    m_spliced = false;
    m_details.clear();
    m_columns.clear();
    m_repeated.clear();
    const Result<std::vector<TouchLead>> parsed =
        m_byPositions ? TouchFromPositions(m_store, m_calling, Observed())
                      : ParseCalling(m_calling);
    if (!parsed) {
        m_result = Q(parsed.error);
        return;
    }
    const int bells = m_store.Bells();
    std::array<const TBellStore*, 6> methods{};
    methods[0] = &m_store;
    for (int page = 1; page <= 5; ++page) {
        const TBellStore* method = pageMethod ? pageMethod(page) : nullptr;
        if (method != nullptr && method->Bells() == bells && method->LeadLength() > 0) {
            methods[static_cast<std::size_t>(page)] = method;
        }
    }
    const std::vector<TouchLead>& leads = *parsed.value;
    const Result<TouchProof> proved = m_prover.Prove(leads, methods);
    if (!proved) {
        m_result = Q(proved.error);
        return;
    }
    m_proof = *proved.value;
    m_proved = true;
    m_result = Q(TouchSummary(m_proof, bells));

    // Calling positions mean something only in a touch of the page's own method.
    std::vector<std::string> positions;
    std::vector<int> pagesUsed;
    const auto rung = static_cast<std::size_t>(m_proof.leads);
    for (std::size_t i = 0; i < rung; ++i) {
        const int page = leads[i].page;
        m_spliced = m_spliced || methods[static_cast<std::size_t>(page)] != &m_store;
        if (page > 0 && std::find(pagesUsed.begin(), pagesUsed.end(), page) == pagesUsed.end()) {
            pagesUsed.push_back(page);
        }
    }
    if (!m_spliced) {
        std::vector<LeadCall> calls;
        for (std::size_t i = 0; i < rung; ++i) {
            calls.push_back(leads[i].call);
        }
        positions = PositionsOfCalls(m_store, calls, Observed());
    }

    const std::vector<Row>& rows = m_prover.Rows();
    const int last = static_cast<int>(rows.size()) - 1;
    QStringList called;
    for (std::size_t i = 0, first = 0; i < rung; ++i) {
        Column column;
        column.page = leads[i].page;
        column.call = leads[i].call;
        column.first = static_cast<int>(first);
        column.leadLength = methods[static_cast<std::size_t>(column.page)]->LeadLength();
        column.length = std::min(column.leadLength, last - column.first);
        if (column.call != LeadCall::Plain) {
            const QString position = i < positions.size() ? Q(positions[i]) : QString();
            column.mark = !position.isEmpty()            ? position
                          : column.call == LeadCall::Bob ? QStringLiteral("b")
                                                         : QStringLiteral("s");
            called << column.mark;
        }
        first += static_cast<std::size_t>(column.length);
        m_columns.push_back(column);
    }
    m_details << QStringLiteral("%1 leads, %2 bobs, %3 singles")
                     .arg(m_proof.leads)
                     .arg(m_proof.bobs)
                     .arg(m_proof.singles);
    if (!called.isEmpty()) {
        m_details << QStringLiteral("Calls: ") + called.join(QLatin1Char(' '));
    }
    std::sort(pagesUsed.begin(), pagesUsed.end());
    for (const int page : pagesUsed) {
        m_details << QStringLiteral("Page %1: %2")
                         .arg(page)
                         .arg(Q(methods[static_cast<std::size_t>(page)]->Name()));
    }

    // Every row rung more than once is marked, the first ringing as well as the repeats;
    // rounds at the end is the start come again.
    const std::size_t proofRows = m_proof.comesRound ? rows.size() - 1 : rows.size();
    std::unordered_map<std::uint64_t, int> seen;
    seen.reserve(proofRows);
    for (std::size_t r = 0; r < proofRows; ++r) {
        ++seen[rows[r].Packed()];
    }
    m_repeated.assign(rows.size(), false);
    if (m_proof.falseCount > 0) {
        for (std::size_t r = 0; r < proofRows; ++r) {
            m_repeated[r] = seen[rows[r].Packed()] > 1;
        }
    }
}

void TouchView::Render(Surface& surface)
{
    const int width = StartSheet(surface);
    QPainter& painter = surface.Painter();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const bool printing = surface.Mode() == RenderMode::Print;
    const int pageHeight = surface.Size().height();
    const int n = m_store.Bells();
    const QString name = Q(m_store.Name());
    const QString subtitle = QStringLiteral("Touch");
    const SheetHeading heading(painter, width - 10, name);
    const int h = heading.LineHeight();

    // The text above the rows.
    SetSheetFont(painter, 10, false);
    const QFontMetrics text = painter.fontMetrics();
    const int lineHeight = text.height() + 4;
    const int textWidth = std::max(width - 60, 50);
    std::vector<TextLine> lines;
    for (const QString& line :
         Wrapped(text, QStringLiteral("Calling: ") + Q(m_calling).simplified(), textWidth)) {
        lines.push_back({line, {}, false});
    }
    lines.push_back({m_result, {}, true});
    if (m_proved) {
        for (const QString& detail : m_details) {
            for (const QString& line : Wrapped(text, detail, textWidth)) {
                lines.push_back({line, {}, false});
            }
        }
        lines.push_back({QStringLiteral("Music"), {}, true});
        bool runs = false;
        for (int k = 4; k <= n; ++k) {
            if (const int count = m_proof.music.runs[static_cast<std::size_t>(k)]; count > 0) {
                lines.push_back({QStringLiteral("Runs of %1").arg(k), QString::number(count)});
                runs = true;
            }
        }
        if (!runs) {
            lines.push_back({QStringLiteral("No runs of 4 or more"), {}});
        }
        for (const auto& [named, count] : m_proof.music.named) {
            QString label = Q(named);
            label[0] = label[0].toUpper();
            lines.push_back({label, QString::number(count)});
        }
    }
    const int tab = 50 + text.horizontalAdvance(QStringLiteral("Whittingtons")) +
                    text.horizontalAdvance(QStringLiteral("000000"));

    // The rows' geometry: figures of the diagram's usual size, cells wide enough for them.
    QFont rowFont(QStringLiteral("Arial"));
    rowFont.setPointSize(printing ? 8 : 10);
    rowFont.setStyleStrategy(QFont::PreferDefault);
    const QFontMetrics figures(rowFont, painter.device());
    const int digit = figures.horizontalAdvance(QLatin1Char('8'));
    const int cw = static_cast<int>(digit * 1.5) + 1;
    const int rh = std::max(static_cast<int>(figures.height() * 0.9), 1);
    const int hw = digit / 2;
    const int hh = figures.height() / 2;
    const int colW = (n + 3) * cw; // room for the call's mark beside the lead end
    const int pw = std::max(static_cast<int>(std::trunc((digit - 6) / 3.0)) + 2, 1);
    const int thin = std::max(static_cast<int>(pw * 0.5 + 0.6), 1);
    const int x0 = 10;
    const int across = std::max((width - 2 * x0) / colW, 1);
    int longest = 0;
    for (const Column& column : m_columns) {
        longest = std::max(longest, column.length);
    }
    const int caption = m_spliced ? rh : 0;
    const int bandH = caption + (longest + 1) * rh + rh;
    const int bands = m_proved ? (static_cast<int>(m_columns.size()) + across - 1) / across : 0;
    const int textTop = 2 * h + 10;
    const int rowsTop = textTop + static_cast<int>(lines.size()) * lineHeight + lineHeight;

    if (!printing) {
        surface.SetSize(QSize(width, rowsTop + bands * bandH + rh));
        painter.fillRect(QRect(QPoint(0, 0), surface.Size()), Qt::white);
    }
    heading.Write(painter, name, subtitle);
    // On paper what does not fit goes on to the next page, under the heading again.
    int y = textTop;
    const auto room = [&](int needed) {
        if (printing && y + needed > pageHeight && y > textTop && surface.NewPage()) {
            heading.Write(painter, name, subtitle);
            y = textTop;
        }
    };
    for (const TextLine& line : lines) {
        room(lineHeight);
        SetSheetFont(painter, 10, line.bold);
        WriteSheetText(painter, 50, y, line.text);
        if (!line.count.isEmpty()) {
            WriteSheetText(painter, tab - painter.fontMetrics().horizontalAdvance(line.count), y,
                           line.count);
        }
        y += lineHeight;
    }
    if (!m_proved) {
        surface.Repaint();
        return;
    }
    y += lineHeight;

    // On the picture a row goes as one run of glyphs, as in the diagram; a vector file needs
    // the characters themselves.
    painter.setFont(rowFont);
    const bool glyphRuns = surface.DrawsGlyphRuns();
    QRawFont raw;
    std::array<quint32, kMaxBells + 1> glyphs{};
    if (glyphRuns) {
        raw = QRawFont::fromFont(rowFont);
        for (int b = 1; b <= n; ++b) {
            const QList<quint32> index = raw.glyphIndexesForString(QString(QChar(SymbolOf(b))));
            glyphs[static_cast<std::size_t>(b)] = index.isEmpty() ? 0 : index.front();
        }
    }
    const int ascent = figures.ascent();
    QList<quint32> runGlyphs;
    QList<QPointF> runPositions;
    const auto writeRow = [&](const Row& row, int x, int top) {
        if (glyphRuns) {
            runGlyphs.clear();
            runPositions.clear();
            for (int p = 1; p <= n; ++p) {
                runGlyphs.push_back(glyphs[row[static_cast<std::size_t>(p - 1)]]);
                runPositions.push_back(QPointF(x - hw + p * cw, top + ascent));
            }
            QGlyphRun run;
            run.setRawFont(raw);
            run.setGlyphIndexes(runGlyphs);
            run.setPositions(runPositions);
            painter.drawGlyphRun(QPointF(0, 0), run);
            return;
        }
        for (int p = 1; p <= n; ++p) {
            painter.drawText(x - hw + p * cw, top + ascent,
                             QString(QChar(SymbolOf(row[static_cast<std::size_t>(p - 1)]))));
        }
    };
    const auto place = [](const Row& row, int bell) {
        const auto found = std::find(row.begin(), row.end(), bell);
        return static_cast<int>(found - row.begin()) + 1;
    };
    const auto linePen = [](int penWidth, const QColor& colour) {
        QPen pen(colour);
        pen.setWidth(penWidth);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        return pen;
    };
    const QColor falseColour = FalseRowColour();
    const std::vector<Row>& rows = m_prover.Rows();
    QFont markFont = rowFont;
    markFont.setBold(true);
    int x = x0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const Column& column = m_columns[c];
        if (c > 0 && c % static_cast<std::size_t>(across) == 0) {
            x = x0;
            y += bandH;
        }
        room(bandH);
        if (m_spliced && column.page > 0) {
            painter.setFont(markFont);
            painter.setPen(Qt::black);
            painter.drawText(x + cw, y + ascent, QStringLiteral("%1").arg(column.page));
        }
        const int top = y + caption; // where the lead head's figures start
        const auto centre = [&](int j) { return top + hh + j * rh; };
        for (int j = 0; j <= column.length; ++j) {
            if (m_repeated[static_cast<std::size_t>(column.first + j)]) {
                painter.fillRect(QRect(x + cw / 2, centre(j) - rh / 2, n * cw, rh), falseColour);
            }
        }
        painter.setFont(rowFont);
        painter.setPen(Qt::black);
        for (int j = 0; j <= column.length; ++j) {
            writeRow(rows[static_cast<std::size_t>(column.first + j)], x, top + j * rh);
        }
        if (column.length == column.leadLength) {
            QPen rule(Qt::black);
            rule.setWidth(thin);
            painter.setPen(rule);
            const int ruleY = centre(column.length - 1) + rh / 2;
            painter.drawLine(x + cw / 2, ruleY, x + cw / 2 + n * cw, ruleY);
        }
        for (const auto& [bell, colour, penWidth] :
             {std::tuple{1, QColor(255, 0, 0), thin}, std::tuple{n, QColor(0, 0, 255), pw}}) {
            painter.setPen(linePen(penWidth, colour));
            for (int j = 1; j <= column.length; ++j) {
                const int from = place(rows[static_cast<std::size_t>(column.first + j - 1)], bell);
                const int to = place(rows[static_cast<std::size_t>(column.first + j)], bell);
                painter.drawLine(x + from * cw, centre(j - 1), x + to * cw, centre(j));
            }
        }
        if (!column.mark.isEmpty()) {
            painter.setFont(markFont);
            painter.setPen(Qt::black);
            painter.drawText(x + (n + 1) * cw - hw / 2, top + column.length * rh + ascent,
                             column.mark);
        }
        x += colW;
    }
    if (!printing) {
        surface.Repaint();
    }
}

} // namespace tambrel
