#include "app/gui/MethodListModel.h"

#include "engine/CCNotation.h"
#include "engine/TextFunctions.h"
#include "library/MethodBrowser.h"
#include "tables/TDbf.h"

namespace tambrel {

void MethodListModel::Reset(const TDbf* table, std::vector<std::size_t> positions,
                            std::string field)
{
    beginResetModel();
    m_table = table;
    m_positions = table != nullptr ? std::move(positions) : std::vector<std::size_t>{};
    m_field = std::move(field);
    endResetModel();
}

int MethodListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_positions.size());
}

int MethodListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant MethodListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || m_table == nullptr || !index.isValid() ||
        index.row() >= rowCount()) {
        return {};
    }
    const std::size_t pos = PositionAt(index.row());
    const std::string field = index.column() == 0 ? "bells" : m_field;
    std::string text = TrimRight(m_table->FieldTextAt(pos, field));
    if (m_ccNotation && field == "places") {
        text = CCNotationOfPlaces(text, MethodAt(*m_table, pos).bells);
    }
    return QString::fromStdString(text);
}

QVariant MethodListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    return section == 0 ? QStringLiteral("bells") : QString::fromStdString(m_field);
}

} // namespace tambrel
