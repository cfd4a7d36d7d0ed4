// The "消费明细" window through the real pages: opened from the swipe page and the add page with
// their card numbers, its filters over a fixed history, the totals of fixed days, the liability,
// and the CSV exports read back as a spreadsheet reads them.
#include "app/MainWindow.h"
#include "config/Dialogs.h"
#include "members/AddPage.h"
#include "members/CsvExport.h"
#include "members/History.h"
#include "members/HistoryModel.h"
#include "members/HistoryWindow.h"
#include "members/MemberTable.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/members/PagesFixture.h"
#include "ui_AddPage.h"
#include "ui_HistoryWindow.h"
#include "ui_SwipePage.h"

#include <QFile>
#include <QStringDecoder>
#include <QtTest>

using namespace quorvel;
using namespace quorvel::test;
namespace history = quorvel::members::history;

namespace {

const QString kWindow = QStringLiteral("HistoryWindow");

// time, operator, card, name, kind, amount, visits before/after, balance before/after, points
// before/after. Appended in this order: the 30 April one after the 1 May ones, so that the order
// shown is the time's, not the order of appending.
const QList<QStringList> kEntries = {
    {"2024-05-01 09:00:00", "店长", "1", "会员1", "充值", "30", "5", "8", "", "", "100", "130"},
    {"2024-05-01 09:30:00", "收银", "2", "会员2", "刷卡", "25", "", "", "100", "75", "100", "100"},
    {"2024-05-01 10:00:00", "收银", "1", "会员1", "刷卡", "1", "8", "7", "", "", "130", "130"},
    {"2024-05-01 11:00:00", "店长", "9", "新人", "新会员", "200", "", "", "", "200", "", "200"},
    {"2024-05-01 12:00:00", "店长", "2", "会员2", "积分兑换", "40", "", "", "75", "75", "100", "60"},
    {"2024-05-01 13:00:00", "收银", "2", "会员2", "刷卡", "10.5", "", "", "75", "64.5", "60", "60"},
    {"2024-05-01 14:00:00", "店长", "3", "会员3", "注销", "", "", "", "100", "", "40", ""},
    {"2024-04-30 18:00:00", "店长", "2", "会员2", "充值", "100", "", "", "0", "100", "0", "100"},
    {"2024-05-02 08:00:00", "收银", "1", "会员1", "刷卡", "1", "7", "6", "", "", "130", "130"},
};

QList<MemberRow> fiveMembers() {
    auto row = [](const char* card, const char* name, const char* type, const char* visits,
                  const char* balance) {
        MemberRow m;
        m.card = QString::fromUtf8(card);
        m.name = QString::fromUtf8(name);
        m.phone = QStringLiteral("13800000000");
        m.type = QString::fromUtf8(type);
        m.visits = QString::fromUtf8(visits);
        m.balance = QString::fromUtf8(balance);
        m.operatorName = QStringLiteral("店长");
        m.points = QStringLiteral("10");
        m.signUp = QStringLiteral("2018年3月5日");
        return m;
    };
    // A count card's balance (written by a changed-card addition) is no money to spend; a
    // negative balance lowers what is owed.
    return {row("1", "会员1", "次卡", "5", ""), row("2", "会员2", "储蓄卡", "", "100"),
            row("3", "会员3", "无限卡", "", "100.5"), row("4", "会员4", "次卡", "2", "50"),
            row("5", "王\"五\",李", "储蓄卡", "", "-5")};
}

bool appendEntries(const QList<QStringList>& entries) {
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    if (members::openMemberTableQuietly() != members::OpenResult::Ready || !history::attachHistory())
        return false;
    RecordStore::Transaction tx(store);
    for (const QStringList& e : entries)
        if (!store.appendCompanionRecord(e))
            return false;
    return tx.commit();
}

QStringList times(const HistoryModel& model) {
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out.append(model.entry(r).value(history::ColTime));
    return out;
}

QStringList entryTimes(const QList<int>& numbers) {
    QStringList out;
    for (int n : numbers)
        out.append(kEntries[n - 1][0]);
    return out;
}

// RFC 4180 as a spreadsheet reads it: quoted fields may hold commas, quotes (doubled) and line
// breaks; rows end with CR LF.
QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                cell += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row.append(cell);
            cell.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row.append(cell);
            rows.append(row);
            row.clear();
            cell.clear();
            ++i;
        } else {
            cell += c;
        }
    }
    if (!cell.isEmpty() || !row.isEmpty()) {
        row.append(cell);
        rows.append(row);
    }
    return rows;
}

// The file as a spreadsheet that honours the byte-order mark reads it.
QList<QStringList> readCsv(const QString& path, bool* hasMark) {
    const QByteArray bytes = readBytes(path);
    *hasMark = bytes.startsWith("\xEF\xBB\xBF");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes.mid(3));
    if (utf8.hasError())
        return {{QStringLiteral("not UTF-8")}};
    return parseCsv(text);
}

class SaveAnswer : public PlatformDialogs {
  public:
    explicit SaveAnswer(QString path) : m_path(std::move(path)) { setPlatformDialogs(this); }
    ~SaveAnswer() override { setPlatformDialogs(nullptr); }
    bool chooseSaveFile(QWidget*, const QString&, const QString&, const QString&, QString* chosen) override {
        ++asked;
        if (m_path.isEmpty())
            return false;
        *chosen = m_path;
        return true;
    }
    int asked = 0;

  private:
    QString m_path;
};

} // namespace

Q_DECLARE_METATYPE(QList<int>)

class TestHistoryWindow : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void opensWithThePagesCardNumber_data();
    void opensWithThePagesCardNumber();
    void filters_data();
    void filters();
    void windowsOfALongHistory();
    void totals_data();
    void totals();
    void csvField_data();
    void csvField();
    void historyExportReadsBack();
    void memberExportReadsBack();
    void withoutAnyHistory();
    void damagedHistory();

  private:
    // Opens the window from the swipe page with card in its card box and runs act in it.
    void inWindow(const QString& card, const std::function<void(HistoryWindow&)>& act);
    std::unique_ptr<PagesFixture> f;
};

void TestHistoryWindow::init() {
    f = std::make_unique<PagesFixture>();
    QVERIFY(f->start({{"店长", "1", true}, {"收银", "2", false}}, fiveMembers(), "店长", "1"));
}

void TestHistoryWindow::cleanup() {
    f.reset();
}

void TestHistoryWindow::inWindow(const QString& card, const std::function<void(HistoryWindow&)>& act) {
    f->main().onToolbarClick(4);
    f->swipe().ui().编辑框_刷卡号->setText(card);
    bool shown = false;
    f->runDialog(f->swipe().ui().按钮_消费明细, kWindow, [&](QDialog* dialog) {
        auto* window = qobject_cast<HistoryWindow*>(dialog);
        QVERIFY(window);
        shown = true;
        act(*window);
    });
    QVERIFY(shown);
}

void TestHistoryWindow::opensWithThePagesCardNumber_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("card");
    QTest::addColumn<QList<int>>("want");
    QTest::newRow("swipe page") << "swipe"
                                << "2" << QList<int>{6, 5, 2, 8};
    QTest::newRow("add page") << "add"
                              << "1" << QList<int>{9, 3, 1};
    QTest::newRow("empty card box") << "swipe"
                                    << "" << QList<int>{9, 7, 6, 5, 4, 3, 2, 1, 8};
}

void TestHistoryWindow::opensWithThePagesCardNumber() {
    QFETCH(QString, page);
    QFETCH(QString, card);
    QFETCH(QList<int>, want);
    QVERIFY(appendEntries(kEntries));
    QAbstractButton* opener = nullptr;
    if (page == "swipe") {
        f->main().onToolbarClick(4);
        f->swipe().ui().编辑框_刷卡号->setText(card);
        opener = f->swipe().ui().按钮_消费明细;
    } else {
        f->main().onToolbarClick(2);
        f->settle();
        f->add().ui().编辑框_入会卡号->setText(card);
        opener = f->add().ui().按钮_会员消费明细;
    }
    bool shown = false;
    const auto end = f->runDialog(opener, kWindow, [&](QDialog* dialog) {
        auto* window = qobject_cast<HistoryWindow*>(dialog);
        QVERIFY(window);
        shown = true;
        QCOMPARE(window->windowTitle(), QStringLiteral("消费明细"));
        QCOMPARE(window->ui().编辑框_明细卡号->text(), card);
        QCOMPARE(times(window->entries()), entryTimes(want));
        QCOMPARE(window->ui().列表_明细->model()->rowCount(), want.size());
        QCOMPARE(window->ui().标签_明细条数->text(), QStringLiteral("共 %1 条记录").arg(want.size()));
    });
    QVERIFY(shown);
    QCOMPARE(end, PagesFixture::DialogEnd::LeftOpen);
    QVERIFY(f->boxes().seen().isEmpty());
}

void TestHistoryWindow::filters_data() {
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("from"); // empty: no days chosen
    QTest::addColumn<QString>("to");
    QTest::addColumn<QList<int>>("want");
    // clang-format off
    QTest::newRow("everything")          << "" << "" << "" << "" << QList<int>{9, 7, 6, 5, 4, 3, 2, 1, 8};
    QTest::newRow("one card")            << "2" << "" << "" << "" << QList<int>{6, 5, 2, 8};
    QTest::newRow("one kind")            << "" << "刷卡" << "" << "" << QList<int>{9, 6, 3, 2};
    QTest::newRow("one day")             << "" << "" << "2024-05-01" << "2024-05-01" << QList<int>{7, 6, 5, 4, 3, 2, 1};
    QTest::newRow("card and two days")   << "1" << "" << "2024-05-01" << "2024-05-02" << QList<int>{9, 3, 1};
    QTest::newRow("card, kind and day")  << "2" << "刷卡" << "2024-05-01" << "2024-05-01" << QList<int>{6, 2};
    QTest::newRow("the day before")      << "" << "" << "2024-04-30" << "2024-04-30" << QList<int>{8};
    QTest::newRow("a card with none")    << "22" << "" << "" << "" << QList<int>{};
    QTest::newRow("card is exact")       << "2 " << "" << "" << "" << QList<int>{};
    // clang-format on
}

void TestHistoryWindow::filters() {
    QFETCH(QString, card);
    QFETCH(QString, kind);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QList<int>, want);
    QVERIFY(appendEntries(kEntries));
    inWindow(QString(), [&](HistoryWindow& w) {
        Ui::HistoryWindow& u = w.ui();
        u.编辑框_明细卡号->setText(card);
        u.组合框_明细类别->setCurrentIndex(kind.isEmpty() ? 0 : u.组合框_明细类别->findText(kind));
        u.选择框_按日期->setChecked(!from.isEmpty());
        if (!from.isEmpty()) {
            u.日期框_开始->setDate(QDate::fromString(from, Qt::ISODate));
            u.日期框_结束->setDate(QDate::fromString(to, Qt::ISODate));
        }
        QTest::keyClick(u.编辑框_明细卡号, Qt::Key_Return);
        QCOMPARE(times(w.entries()), entryTimes(want));
        QCOMPARE(u.标签_明细条数->text(), QStringLiteral("共 %1 条记录").arg(want.size()));
        // Every cell of a row is its entry's.
        for (int r = 0; r < want.size(); ++r)
            for (int c = 0; c < history::ColumnCount; ++c)
                QCOMPARE(w.entries().data(w.entries().index(r, c)).toString(), kEntries[want[r] - 1][c]);
    });
}

void TestHistoryWindow::windowsOfALongHistory() {
    // More entries than several blocks: rows far down and back up read the right entries.
    QList<QStringList> many;
    const int n = HistoryModel::kBlockRows * 3 + 17;
    for (int i = 0; i < n; ++i)
        many.append({QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(60 * i).toString(history::kTimeFormat),
                     "店长", QString::number(i % 2), "x", "刷卡", QString::number(i), "", "", "", "", "",
                     ""});
    QVERIFY(appendEntries(many));
    inWindow(QString(), [&](HistoryWindow& w) {
        QCOMPARE(w.entries().rowCount(), n);
        for (int row : {0, n - 1, HistoryModel::kBlockRows, HistoryModel::kBlockRows - 1,
                        2 * HistoryModel::kBlockRows + 5, 1})
            QCOMPARE(w.entries().entry(row).value(history::ColAmount), QString::number(n - 1 - row));
        QVERIFY(w.entries().entry(n).isEmpty());
        // With a card filter the blocks are counted within the matching entries: card "1" has
        // the odd ones, newest first.
        w.ui().编辑框_明细卡号->setText("1");
        w.runQuery();
        const int matching = n / 2;
        const int newest = n % 2 == 0 ? n - 1 : n - 2;
        QCOMPARE(w.entries().rowCount(), matching);
        for (int row : {0, matching - 1, HistoryModel::kBlockRows, HistoryModel::kBlockRows + 1, 7})
            QCOMPARE(w.entries().entry(row).value(history::ColAmount), QString::number(newest - 2 * row));
    });
}

void TestHistoryWindow::totals_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QList<QStringList>>("rows");
    const QStringList header{"操作员", "充值金额", "刷卡金额", "刷卡次数", "兑换积分", "新会员", "注销会员"};
    // clang-format off
    QTest::newRow("1 May") << "2024-05-01" << "2024-05-01" << QList<QStringList>{
        {"店长", "230", "0", "0", "40", "1", "1"},
        {"收银", "0", "35.5", "1", "0", "0", "0"},
        {"合计", "230", "35.5", "1", "40", "1", "1"}};
    QTest::newRow("30 April to 2 May") << "2024-04-30" << "2024-05-02" << QList<QStringList>{
        {"店长", "330", "0", "0", "40", "1", "1"},
        {"收银", "0", "35.5", "2", "0", "0", "0"},
        {"合计", "330", "35.5", "2", "40", "1", "1"}};
    QTest::newRow("dates the wrong way round") << "2024-05-02" << "2024-05-02" << QList<QStringList>{
        {"收银", "0", "0", "1", "0", "0", "0"},
        {"合计", "0", "0", "1", "0", "0", "0"}};
    QTest::newRow("a day without entries") << "2024-05-03" << "2024-05-03" << QList<QStringList>{
        {"合计", "0", "0", "0", "0", "0", "0"}};
    // clang-format on
}

void TestHistoryWindow::totals() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QList<QStringList>, rows);
    QVERIFY(appendEntries(kEntries));
    inWindow(QString(), [&](HistoryWindow& w) {
        Ui::HistoryWindow& u = w.ui();
        u.日期框_开始->setDate(QDate::fromString(from, Qt::ISODate));
        u.日期框_结束->setDate(QDate::fromString(to, Qt::ISODate));
        if (QTest::currentDataTag() == QByteArray("dates the wrong way round"))
            u.日期框_开始->setDate(QDate(2024, 5, 3));
        u.按钮_日结统计->click();
        QTableWidget* table = u.列表_日结;
        QCOMPARE(table->columnCount(), 7);
        QStringList headers;
        for (int c = 0; c < table->columnCount(); ++c)
            headers.append(table->horizontalHeaderItem(c)->text());
        QCOMPARE(headers, (QStringList{"操作员", "充值金额", "刷卡金额", "刷卡次数", "兑换积分", "新会员",
                                       "注销会员"}));
        QList<QStringList> shown;
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells.append(table->item(r, c)->text());
            shown.append(cells);
        }
        QCOMPARE(shown, rows);
        // What is owed now comes from the member table, whatever the days.
        QCOMPARE(u.标签_未消费余额->text(),
                 QStringLiteral("现有会员 5 人，储值余额合计 195.5 元，剩余次数合计 7 次"));
    });
}

void TestHistoryWindow::csvField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("readBack"); // the cell a spreadsheet reads from the field
    // clang-format off
    QTest::newRow("plain")             << "会员2" << "会员2" << "会员2";
    QTest::newRow("empty")             << "" << "" << "";
    QTest::newRow("comma")             << "a,b" << "\"a,b\"" << "a,b";
    QTest::newRow("quotes")            << "say \"hi\"" << "\"say \"\"hi\"\"\"" << "say \"hi\"";
    QTest::newRow("line break")        << "one\r\ntwo" << "\"one\r\ntwo\"" << "one\r\ntwo";
    QTest::newRow("formula")           << "=1+2" << "'=1+2" << "'=1+2";
    QTest::newRow("plus text")         << "+86 139" << "'+86 139" << "'+86 139";
    QTest::newRow("at")                << "@cmd" << "'@cmd" << "'@cmd";
    QTest::newRow("tab")               << "\tx" << "'\tx" << "'\tx";
    QTest::newRow("minus alone")       << "-" << "'-" << "'-";
    QTest::newRow("minus text, comma") << "-a,b" << "\"'-a,b\"" << "'-a,b";
    QTest::newRow("negative number")   << "-30" << "-30" << "-30";
    QTest::newRow("negative fraction") << "-30.5" << "-30.5" << "-30.5";
    QTest::newRow("signed number")     << "+5" << "+5" << "+5";
    QTest::newRow("exponent")          << "-1e5" << "-1e5" << "-1e5";
    QTest::newRow("number then text")  << "-30元" << "'-30元" << "'-30元";
    // clang-format on
}

void TestHistoryWindow::csvField() {
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, readBack);
    QCOMPARE(csv::field(text), field);
    QCOMPARE(csv::row({text, "x"}), field + QStringLiteral(",x\r\n"));
    QCOMPARE(parseCsv(csv::row({text, "x"})), (QList<QStringList>{{readBack, "x"}}));
}

void TestHistoryWindow::historyExportReadsBack() {
    QList<QStringList> entries = kEntries;
    // Texts a spreadsheet must not take apart or run.
    entries.append({"2024-05-01 15:00:00", "@店长", "5", "王\"五\",李", "修改", "", "", "", "-5", "-5",
                    "=SUM(A1:A2)", "+3"});
    QVERIFY(appendEntries(entries));
    const QString path = f->dir() + QStringLiteral("/明细.csv");
    SaveAnswer answer(path);
    inWindow("5", [&](HistoryWindow& w) { w.ui().按钮_导出明细->click(); });
    QCOMPARE(answer.asked, 1);
    QCOMPARE(f->boxes().texts(), QStringList{QStringLiteral("导出完成，共 1 条记录\r\n") + path});
    bool mark = false;
    const QList<QStringList> rows = readCsv(path, &mark);
    QVERIFY(mark);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], (QStringList{"时间", "操作员", "会员卡号", "会员姓名", "类别", "数额", "原充值次数",
                                   "现充值次数", "原充值金额", "现充值金额", "原累计积分", "现累计积分"}));
    QCOMPARE(rows[1], (QStringList{"2024-05-01 15:00:00", "'@店长", "5", "王\"五\",李", "修改", "", "", "",
                                   "-5", "-5", "'=SUM(A1:A2)", "+3"}));

    // The whole history, newest first, each entry whole.
    f->boxes().clear();
    inWindow(QString(), [&](HistoryWindow& w) { w.ui().按钮_导出明细->click(); });
    const QList<QStringList> all = readCsv(path, &mark);
    QCOMPARE(all.size(), entries.size() + 1);
    QCOMPARE(all[1], kEntries[8]);
    QCOMPARE(all.last(), kEntries[7]);
}

void TestHistoryWindow::memberExportReadsBack() {
    const QString path = f->dir() + QStringLiteral("/会员.csv");
    SaveAnswer answer(path);
    inWindow(QString(), [&](HistoryWindow& w) { w.ui().按钮_导出会员->click(); });
    QCOMPARE(f->boxes().texts(), QStringList{QStringLiteral("导出完成，共 5 条记录\r\n") + path});
    bool mark = false;
    const QList<QStringList> rows = readCsv(path, &mark);
    QVERIFY(mark);
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows[0], (QStringList{"会员卡号", "会员姓名", "性别", "会员通讯", "会员类型", "充值次数",
                                   "充值金额", "操作员", "累计积分", "注册时间", "刷卡次数"}));
    for (int r = 1; r <= 5; ++r)
        QCOMPARE(rows[r], f->member(r).mid(1));
    QCOMPARE(rows[5][1], QStringLiteral("王\"五\",李"));
    QCOMPARE(rows[5][6], QStringLiteral("-5"));
}

void TestHistoryWindow::withoutAnyHistory() {
    // Nothing has happened yet: the window opens empty, without a message and without making
    // the history file, and an export says what it would hold.
    const QString path = f->dir() + QStringLiteral("/空.csv");
    SaveAnswer answer(path);
    inWindow(QString(), [&](HistoryWindow& w) {
        QCOMPARE(w.entries().rowCount(), 0);
        QCOMPARE(w.ui().列表_日结->rowCount(), 1);
        w.ui().按钮_导出明细->click();
    });
    QVERIFY(!QFile::exists(f->dir() + QStringLiteral("/mxjl.dat")));
    bool mark = false;
    QCOMPARE(readCsv(path, &mark).size(), 1);
    QCOMPARE(f->boxes().texts(), QStringList{QStringLiteral("导出完成，共 0 条记录\r\n") + path});
}

void TestHistoryWindow::damagedHistory() {
    QVERIFY(writeBytes(f->dir() + QStringLiteral("/mxjl.dat"), QByteArray(8192, 'z')));
    inWindow("2", [&](HistoryWindow& w) { QCOMPARE(w.entries().rowCount(), 0); });
    QCOMPARE(f->boxes().texts(), QStringList{QStringLiteral("数据库文件已损坏")});
}

QTEST_MAIN(TestHistoryWindow)
#include "TestHistoryWindow.moc"
