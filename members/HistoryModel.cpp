#include "members/HistoryModel.h"

#include <climits>

namespace quorvel {

using namespace members::history;

namespace {
// Blocks kept while scrolling; beyond that the earlier ones are read again when wanted.
constexpr std::size_t kKeptBlocks = 64;
const QStringList kHeaders = [] {
    QStringList names;
    for (const FieldDef& f : historyFields())
        names.append(f.name);
    return names;
}();
} // namespace

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

Access HistoryModel::setFilter(const Filter& filter) {
    beginResetModel();
    m_filter = filter;
    m_blocks.clear();
    m_count = 0;
    const Access access = withHistory(
        [&](RecordStore& store) { m_count = std::max<qint64>(countEntries(store, m_filter), 0); });
    endResetModel();
    return access;
}

const QList<QStringList>* HistoryModel::block(qint64 number) const {
    auto found = m_blocks.find(number);
    if (found != m_blocks.end())
        return &found->second;
    QList<QStringList> rows;
    withHistory(
        [&](RecordStore& store) { rows = readEntries(store, m_filter, number * kBlockRows, kBlockRows); });
    if (m_blocks.size() >= kKeptBlocks)
        m_blocks.clear();
    return &m_blocks.emplace(number, std::move(rows)).first->second;
}

QStringList HistoryModel::entry(int row) const {
    if (row < 0 || row >= m_count)
        return {};
    const QList<QStringList>* rows = block(row / kBlockRows);
    return rows->value(row % kBlockRows);
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(std::min<qint64>(m_count, INT_MAX));
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() >= ColAmount ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                           : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return entry(index.row()).value(index.column());
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return kHeaders.value(section);
}

} // namespace quorvel
