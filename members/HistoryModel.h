#pragma once
// The history entries matching a filter, newest first, for a view: only the count is read when
// the filter is set; rows are read a block at a time as the view shows them, so a history of a
// million entries opens and scrolls as fast as a short one.
#include "members/History.h"

#include <QAbstractTableModel>

#include <map>

namespace quorvel {

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kBlockRows = 200;

    explicit HistoryModel(QObject* parent = nullptr);

    // Counts the entries matching filter and forgets the rows read for the previous one.
    members::history::Access setFilter(const members::history::Filter& filter);
    const members::history::Filter& filter() const { return m_filter; }
    qint64 entryCount() const { return m_count; }
    // Entry row (0 = newest) in field order; empty when out of range or unreadable.
    QStringList entry(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  private:
    const QList<QStringList>* block(qint64 number) const;

    members::history::Filter m_filter;
    qint64 m_count = 0;
    mutable std::map<qint64, QList<QStringList>> m_blocks;
};

} // namespace quorvel
