#include "members/MemberListModel.h"

#include <QHeaderView>
#include <QTableView>

namespace quorvel {

namespace {

struct Column {
    const char* title;
    int addWidth;
    int swipeWidth;
    Qt::Alignment alignment;
};

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

const Column kColumnsDef[MemberListModel::kColumns] = {
    {"ID", 40, 40, kLeft},           {"会员卡号", 60, 80, kCentre}, {"会员姓名", 80, 100, kCentre},
    {"性别", 40, 40, kCentre},       {"会员通讯", 80, 100, kCentre}, {"会员类型", 80, 100, kCentre},
    {"充值次数", 60, 60, kLeft},     {"充值金额", 60, 60, kCentre}, {"操作员", 60, 60, kCentre},
    {"累计积分", 60, 60, kLeft},     {"注册时间", 120, 120, kCentre},
};

} // namespace

MemberListModel::Row::Row(const QStringList& cells) {
    for (const QString& c : cells)
        append(c);
}

void MemberListModel::Row::append(QStringView cell) {
    if (m_count >= kColumns)
        return;
    // A member field is at most 30 bytes: the offsets never come near their limit.
    m_text.append(cell.left(std::max<qsizetype>(0, 0xffff - m_text.size())));
    m_ends[m_count++] = quint16(m_text.size());
}

QString MemberListModel::Row::cell(int column) const {
    if (column < 0 || column >= m_count)
        return {};
    const int start = column == 0 ? 0 : m_ends[column - 1];
    return m_text.mid(start, m_ends[column] - start);
}

void MemberListModel::Row::setCell(int column, QStringView text) {
    if (column < 0 || column >= kColumns)
        return;
    while (m_count < kColumns)
        append(QStringView());
    const int start = column == 0 ? 0 : m_ends[column - 1];
    const int oldLength = m_ends[column] - start;
    m_text.replace(start, oldLength, text.data(), text.size());
    const int delta = int(text.size()) - oldLength;
    for (int c = column; c < kColumns; ++c)
        m_ends[c] = quint16(m_ends[c] + delta);
}

MemberListModel::MemberListModel(Kind kind, QObject* parent) : QAbstractTableModel(parent), m_kind(kind) {}

int MemberListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MemberListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant MemberListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_rows[index.row()].cell(index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumnsDef[index.column()].alignment);
    return {};
}

QVariant MemberListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    if (role == Qt::DisplayRole) {
        if (section == 8 && m_kind == Kind::SwipeList)
            return QStringLiteral("刷卡次数");
        return QString::fromUtf8(kColumnsDef[section].title);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumnsDef[section].alignment);
    return {};
}

void MemberListModel::clear() {
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    endResetModel();
}

void MemberListModel::appendRow(const QString& id, const QStringList& cells) {
    Row row;
    row.append(id);
    for (int i = 0; i < kColumns - 1; ++i)
        row.append(cells.value(i));
    const int at = int(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.append(std::move(row));
    endInsertRows();
}

void MemberListModel::appendRows(const QList<QStringList>& rows) {
    QList<Row> converted;
    converted.reserve(rows.size());
    for (const QStringList& r : rows)
        converted.append(Row(r));
    appendRows(converted);
}

void MemberListModel::appendRows(const QList<Row>& rows) {
    if (rows.isEmpty())
        return;
    const int at = int(m_rows.size());
    beginInsertRows(QModelIndex(), at, at + int(rows.size()) - 1);
    m_rows.append(rows);
    endInsertRows();
}

void MemberListModel::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= kColumns)
        return;
    m_rows[row].setCell(column, text);
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

QString MemberListModel::cell(int row, int column) const {
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows[row].cell(column);
}

void MemberListModel::attachTo(QTableView* view) {
    view->setModel(this);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Fixed row height: no per-row measuring, so a long list stays quick to show and scroll.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(20);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < kColumns; ++c)
        view->setColumnWidth(c, m_kind == Kind::AddList ? kColumnsDef[c].addWidth : kColumnsDef[c].swipeWidth);
}

} // namespace quorvel
