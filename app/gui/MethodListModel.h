#pragma once

#include <QAbstractTableModel>

#include <cstddef>
#include <string>
#include <vector>

namespace tambrel {

class TDbf;

// The browser's grid over a method table: one row per listed position of the table's current
// order, read from the table when shown, so that a list of thousands of methods costs nothing
// to show or scroll. Column 0 is the bells, column 1 the name or the notation. The table's
// cursor never moves for it.
class MethodListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Lists `positions` of `table` (none when it is null), showing `field` ("name" or
    // "places") in column 1.
    void Reset(const TDbf* table, std::vector<std::size_t> positions, std::string field);
    void Clear() { Reset(nullptr, {}, m_field); }
    // Notations shown in the Central Council's form rather than as stored.
    void SetCCNotation(bool ccForm) { m_ccNotation = ccForm; }

    const std::vector<std::size_t>& Positions() const { return m_positions; }
    std::size_t PositionAt(int row) const { return m_positions[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const TDbf* m_table = nullptr;
    std::vector<std::size_t> m_positions; // in the order shown
    std::string m_field = "name";
    bool m_ccNotation = false;
};

} // namespace tambrel
