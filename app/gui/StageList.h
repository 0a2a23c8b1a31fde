#pragma once

#include <QComboBox>
#include <QModelIndex>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace tambrel {

// The stages as listed. Their entries keep the leading blanks ("  6 - Minor") that line the
// numbers up, so the list's type-ahead compares what is typed with an entry without them.
class StageModel : public QStandardItemModel {
public:
    using QStandardItemModel::QStandardItemModel;

    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                          Qt::MatchFlags flags) const override
    {
        if (role != Qt::DisplayRole || (flags & Qt::MatchTypeMask) != Qt::MatchStartsWith) {
            return QStandardItemModel::match(start, role, value, hits, flags);
        }
        const QString typed = value.toString().trimmed();
        const int rows = rowCount(start.parent());
        QModelIndexList found;
        for (int i = 0; i < rows && (hits < 0 || found.size() < hits); ++i) {
            int row = start.row() + i;
            if (row >= rows && !(flags & Qt::MatchWrap)) {
                break;
            }
            row %= rows;
            const QModelIndex entry = index(row, start.column(), start.parent());
            if (entry.data().toString().trimmed().startsWith(typed, Qt::CaseInsensitive)) {
                found << entry;
            }
        }
        return found;
    }
};

// A drop-down list with a frame in the highlight colour while it has the focus, which the
// style shows only once the focus has moved by the keyboard, and so not when a dialog opens.
// An entry too long for the box ends in "..." rather than being cut off mid-letter.
class FramedList : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        painter.setPen(palette().color(QPalette::Text));
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                    QStyle::SC_ComboBoxEditField, this);
        // The style draws the text a pixel inside the field at each end.
        option.currentText =
            fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width() - 2);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        if (hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
    }
};

// The number of bells: typing a number selects that stage ("1", "12").
class StageList : public FramedList {
public:
    explicit StageList(QWidget* parent) : FramedList(parent) { setModel(new StageModel(this)); }
};

} // namespace tambrel
