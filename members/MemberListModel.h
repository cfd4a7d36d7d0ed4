#pragma once
// Rows of the two member lists. A model, so that 100,000 rows stay cheap to show.
#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <array>

class QTableView;

namespace quorvel {

class MemberListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { AddList, SwipeList };
    static constexpr int kColumns = 11;

    // One row kept as a single text and the cells' end offsets: one allocation a row instead
    // of one per cell, so 1,000,000 members cost a few hundred bytes each.
    class Row {
    public:
        Row() = default;
        explicit Row(const QStringList& cells);
        // Appends a cell; past kColumns cells nothing is kept.
        void append(QStringView cell);
        int size() const { return m_count; }
        QString cell(int column) const; // empty past the last cell
        // Sets a cell, padding the row with empty cells up to kColumns first.
        void setCell(int column, QStringView text);

    private:
        QString m_text;
        std::array<quint16, kColumns> m_ends{};
        quint8 m_count = 0;
    };

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
    void appendRows(const QList<Row>& rows);
    void setCell(int row, int column, const QString& text);
    QString cell(int row, int column) const;

    // Columns' titles, widths and alignments on the view; whole-row selection, grid lines.
    void attachTo(QTableView* view);

private:
    Kind m_kind;
    QList<Row> m_rows;
};

} // namespace quorvel
