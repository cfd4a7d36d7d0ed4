#include "members/HistoryWindow.h"

#include "config/Dialogs.h"
#include "members/CsvExport.h"
#include "members/HistoryModel.h"
#include "members/MemberTable.h"
#include "text/Numbers.h"

#include "ui_HistoryWindow.h"

#include <QDir>
#include <QHeaderView>

namespace quorvel {

using namespace members;

namespace {

const QString kAllKinds = QStringLiteral("全部类别");
const QString kTotalRow = QStringLiteral("合计");
const QString kCsvFilter = QStringLiteral("CSV 文件 (*.csv)");
const QString kExportFailed = QStringLiteral("导出失败");

QString exportDone(qint64 rows, const QString& path) {
    return QStringLiteral("导出完成，共 %1 条记录\r\n%2").arg(rows).arg(QDir::toNativeSeparators(path));
}

QString proposedFile(const QString& stem) {
    return QDir::home().filePath(stem + QDate::currentDate().toString(QStringLiteral("_yyyyMMdd")) +
                                 QStringLiteral(".csv"));
}

} // namespace

HistoryWindow::HistoryWindow(const QString& card, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::HistoryWindow>()) {
    m_ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    Ui::HistoryWindow& u = *m_ui;

    m_model = new HistoryModel(this);
    u.列表_明细->setModel(m_model);
    u.列表_明细->setSelectionBehavior(QAbstractItemView::SelectRows);
    u.列表_明细->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Fixed row heights: the view never measures a row it does not show.
    u.列表_明细->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    u.列表_明细->verticalHeader()->setDefaultSectionSize(20);
    // All twelve columns in the window's width: the time wide, the numbers narrow.
    u.列表_明细->horizontalHeader()->setDefaultSectionSize(68);
    u.列表_明细->setColumnWidth(history::ColTime, 130);

    u.组合框_明细类别->addItem(kAllKinds);
    u.组合框_明细类别->addItems(history::kinds());
    const QDate today = history::now().date();
    u.日期框_开始->setDate(today);
    u.日期框_结束->setDate(today);
    u.编辑框_明细卡号->setText(card);

    u.列表_日结->setColumnCount(int(totalsHeaders().size()));
    u.列表_日结->setHorizontalHeaderLabels(totalsHeaders());
    u.列表_日结->setEditTriggers(QAbstractItemView::NoEditTriggers);
    u.列表_日结->verticalHeader()->hide();

    // Enter in the card box is the query, never a click of a default button.
    for (QPushButton* button : {u.按钮_明细查询, u.按钮_日结统计, u.按钮_导出明细, u.按钮_导出会员})
        button->setAutoDefault(false);
    connect(u.按钮_明细查询, &QPushButton::clicked, this, &HistoryWindow::runQuery);
    connect(u.编辑框_明细卡号, &QLineEdit::returnPressed, this, &HistoryWindow::runQuery);
    connect(u.按钮_日结统计, &QPushButton::clicked, this, &HistoryWindow::showTotals);
    connect(u.按钮_导出明细, &QPushButton::clicked, this, &HistoryWindow::exportHistory);
    connect(u.按钮_导出会员, &QPushButton::clicked, this, &HistoryWindow::exportMembers);

    // The member's entries and today's totals at once; a history that cannot be read is said once.
    if (runQuery())
        showTotals();
}

HistoryWindow::~HistoryWindow() = default;

history::Filter HistoryWindow::filter() const {
    const Ui::HistoryWindow& u = *m_ui;
    history::Filter f;
    f.card = u.编辑框_明细卡号->text();
    if (u.组合框_明细类别->currentIndex() > 0)
        f.kind = u.组合框_明细类别->currentText();
    if (u.选择框_按日期->isChecked()) {
        f.from = u.日期框_开始->date();
        f.to = u.日期框_结束->date();
    }
    return f;
}

bool HistoryWindow::runQuery() {
    const history::Access access = m_model->setFilter(filter());
    m_ui->标签_明细条数->setText(QStringLiteral("共 %1 条记录").arg(m_model->entryCount()));
    const QString failure = history::accessFailureText(access);
    if (!failure.isEmpty())
        showMessage(this, failure);
    return failure.isEmpty();
}

QStringList HistoryWindow::totalsHeaders() {
    return {QStringLiteral("操作员"),   QStringLiteral("充值金额"), QStringLiteral("刷卡金额"),
            QStringLiteral("刷卡次数"), QStringLiteral("兑换积分"), QStringLiteral("新会员"),
            QStringLiteral("注销会员")};
}

QStringList HistoryWindow::totalsCells(const QString& who, const history::Totals& t) {
    return {who,
            numberToText(t.toppedUp),
            numberToText(t.moneyCharged),
            numberToText(t.visitsCharged),
            numberToText(t.pointsRedeemed),
            QString::number(t.newMembers),
            QString::number(t.cancelledMembers)};
}

void HistoryWindow::showTotals() {
    Ui::HistoryWindow& u = *m_ui;
    QDate from = u.日期框_开始->date();
    QDate to = u.日期框_结束->date();
    if (to < from)
        std::swap(from, to);
    history::DayTotals totals;
    history::Liability owed;
    bool haveLiability = false;
    const history::Access access =
        history::withHistory([&](RecordStore& store) { totals = history::totalsOf(store, from, to); });
    if (access == history::Access::Ready || access == history::Access::NoHistory) {
        RecordStore& store = RecordStore::instance();
        RecordStore::Lock lock(store);
        if (openMemberTableQuietly() == OpenResult::Ready) {
            owed = history::liabilityNow(store);
            haveLiability = true;
        }
    }

    QList<QStringList> rows;
    for (const auto& [who, t] : totals.perOperator)
        rows.append(totalsCells(who, t));
    rows.append(totalsCells(kTotalRow, totals.all));
    u.列表_日结->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            u.列表_日结->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    u.标签_未消费余额->setText(haveLiability
                                   ? QStringLiteral("现有会员 %1 人，储值余额合计 %2 元，剩余次数合计 %3 次")
                                         .arg(owed.members)
                                         .arg(numberToText(owed.balances), numberToText(owed.visits))
                                   : QString());
    const QString failure = history::accessFailureText(access);
    if (!failure.isEmpty())
        showMessage(this, failure);
}

void HistoryWindow::exportHistory() {
    QString path;
    if (!platformDialogs().chooseSaveFile(this, QStringLiteral("导出明细"),
                                          proposedFile(QStringLiteral("消费明细")), kCsvFilter, &path))
        return;
    qint64 rows = 0;
    bool written = false;
    const history::Filter f = filter();
    const history::Access access = history::withHistory(
        [&](RecordStore& store) { written = csv::exportHistory(store, path, f, &rows); });
    // Without any history yet the file still says what it would hold.
    if (access == history::Access::NoHistory)
        written = csv::writeHeaderOnly(path, history::historyFields());
    if (!history::accessFailureText(access).isEmpty()) {
        showMessage(this, history::accessFailureText(access));
        return;
    }
    showMessage(this, written ? exportDone(rows, path) : kExportFailed,
                written ? MessageIcon::Information : MessageIcon::Error);
}

void HistoryWindow::exportMembers() {
    QString path;
    if (!platformDialogs().chooseSaveFile(this, QStringLiteral("导出会员列表"),
                                          proposedFile(QStringLiteral("会员列表")), kCsvFilter, &path))
        return;
    const OpenResult opened = openMemberTableQuietly();
    if (opened != OpenResult::Ready) {
        showMessage(this, openFailureText(opened));
        return;
    }
    int rows = 0;
    const bool written = csv::exportMembers(path, &rows);
    showMessage(this, written ? exportDone(rows, path) : kExportFailed,
                written ? MessageIcon::Information : MessageIcon::Error);
}

} // namespace quorvel
