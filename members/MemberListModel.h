#pragma once
// Rows of the two member lists. A model, so that 100,000 rows stay cheap to show.
#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

class QTableView;

namespace quorvel {

class MemberListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { AddList, SwipeList };

    explicit MemberListModel(Kind kind, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Delete all rows.
    void clear();
    // Append one row: column 0 then up to ten cells; missing cells are empty.
    void appendRow(const QString& id, const QStringList& cells);
    // Append many rows at once (the list load hands them over in batches).
    void appendRows(const QList<QStringList>& rows);
    void setCell(int row, int column, const QString& text);
    QString cell(int row, int column) const;

    // Columns' titles, widths and alignments on the view; whole-row selection, grid lines.
    void attachTo(QTableView* view);

    static constexpr int kColumns = 11;

private:
    Kind m_kind;
    QList<QStringList> m_rows;
};

} // namespace quorvel
