// Every write path of the member pages and windows, met by a store that cannot write: a
// read-only table file, a full disk (a small tmpfs, mounted when the test runs as root), the
// table file removed or replaced while open. Each operation is rolled back whole, the operator
// sees the program's error message and never a success message, and the table keeps every
// byte of its records. On the full disk, the same action once space is back goes through
// exactly once.
#include "app/MainWindow.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "tests/members/PagesFixture.h"
#include "ui_AddPage.h"
#include "ui_SwipePage.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString kWriteFailed = QStringLiteral("数据库写入失败，本次操作未保存");
const QString kMissing = QStringLiteral("数据库文件已丢失");
const QString kMismatch = QStringLiteral("存在不正当操作\r\n\r\n将更改为添加新顾客");
// Every text by which a page or window reports a stored change.
const QStringList kSuccessTexts = {QStringLiteral("刷卡成功"),         QStringLiteral("充值成功"),
                                   QStringLiteral("兑换成功"),         QStringLiteral("会员信息修改成功"),
                                   QStringLiteral("会员注销成功"),     QStringLiteral("会员添加成功"),
                                   QStringLiteral("新会员已添加完成")};

enum class Fault { ReadOnly, DiskFull, Removed, Replaced };
enum class Op {
    TopUp,
    NewMember,
    Redeem,
    CountCharge,
    AutoCountCharge,
    MoneyCharge,
    Modify,
    ModifyAddsInstead,
    Remove,
    RemoveAddsInstead,
};

QList<MemberRow> threeMembers() {
    QList<MemberRow> rows(3);
    const char* types[3] = {"次卡", "储蓄卡", "无限卡"};
    for (int i = 0; i < 3; ++i) {
        MemberRow& m = rows[i];
        m.card = QString::number(i + 1);
        m.name = QStringLiteral("会员%1").arg(i + 1);
        m.phone = QStringLiteral("1380000000%1").arg(i + 1);
        m.type = QString::fromUtf8(types[i]);
        m.visits = i == 0 ? QStringLiteral("5") : QString();
        m.balance = i == 0 ? QString() : QStringLiteral("100");
        m.operatorName = QStringLiteral("店长");
        m.points = QStringLiteral("100");
        m.signUp = QStringLiteral("2018年3月5日");
        m.swipes = QStringLiteral("4");
    }
    return rows;
}

// Root writes through any file mode. Dropped for the whole process before any thread starts
// (threads inherit it), so that a read-only file is read-only to every thread of the program.
void dropFileModeOverride() {
    if (::geteuid() != 0)
        return;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    data[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    syscall(SYS_capset, &header, data);
}

// A tmpfs of its own, full but for nothing, for the lifetime of the object.
class FullDisk {
public:
    bool mount(const QString& where, QString* why) {
        m_where = where;
        const QByteArray path = QFile::encodeName(where);
        if (::mount("tmpfs", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0755") != 0) {
            *why = QStringLiteral("cannot mount a tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_mounted = true;
        return true;
    }
    ~FullDisk() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_where).constData(), MNT_DETACH);
    }
    // Writes a filler until the file system takes no more.
    bool fill() {
        const int fd = ::open(QFile::encodeName(m_where + QStringLiteral("/filler")).constData(),
                              O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        static const char zeros[4096] = {};
        for (size_t chunk = sizeof zeros; chunk > 0; chunk /= 2)
            while (::write(fd, zeros, chunk) == ssize_t(chunk)) {
            }
        ::close(fd);
        return errno == ENOSPC;
    }
    void release() { QFile::remove(m_where + QStringLiteral("/filler")); }

private:
    QString m_where;
    bool m_mounted = false;
};

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Op)

class TestFailedWrites : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void reportedNotHidden_data();
    void reportedNotHidden();

private:
    void prepare(Op op);
    void act(Op op);
    // The same action once more, after the fault is gone.
    void retry(Op op);
    QString success(Op op) const;
    Ui::AddPage& add() { return f->add().ui(); }
    Ui::SwipePage& swipe() { return f->swipe().ui(); }
    void confirmIn(QAbstractButton* opener, const QString& window);

    std::unique_ptr<PagesFixture> f;
    std::unique_ptr<FullDisk> m_disk;
};

void TestFailedWrites::cleanup() {
    f.reset();
    m_disk.reset();
}

void TestFailedWrites::reportedNotHidden_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Op>("op");
    QTest::addColumn<QStringList>("messages");

    const struct {
        const char* name;
        Op op;
        bool reopens; // the table is opened afresh first (the password check opens the operators)
        bool asks;    // the changed-number question comes before the write
    } ops[] = {
        {"top-up", Op::TopUp, false, false},
        {"new member", Op::NewMember, false, false},
        {"points redemption", Op::Redeem, false, false},
        {"count charge", Op::CountCharge, false, false},
        {"automatic count charge", Op::AutoCountCharge, false, false},
        {"money charge", Op::MoneyCharge, false, false},
        {"modification", Op::Modify, true, false},
        {"modification adds instead", Op::ModifyAddsInstead, true, true},
        {"removal", Op::Remove, true, false},
        {"removal adds instead", Op::RemoveAddsInstead, true, true},
    };
    for (const auto& o : ops) {
        const QStringList failed = o.asks ? QStringList{kMismatch, kWriteFailed} : QStringList{kWriteFailed};
        QTest::addRow("read-only file: %s", o.name) << Fault::ReadOnly << o.op << failed;
        QTest::addRow("full disk: %s", o.name) << Fault::DiskFull << o.op << failed;
        QTest::addRow("removed while open: %s", o.name) << Fault::Removed << o.op << QStringList{kMissing};
        // A replaced file is the one opened afresh: the windows' reopen rightly uses it.
        if (!o.reopens)
            QTest::addRow("replaced while open: %s", o.name) << Fault::Replaced << o.op << failed;
    }
}

void TestFailedWrites::prepare(Op op) {
    Ui::AddPage& a = add();
    switch (op) {
    case Op::TopUp:
    case Op::Redeem:
    case Op::Modify:
    case Op::ModifyAddsInstead:
    case Op::Remove:
    case Op::RemoveAddsInstead:
        f->main().onToolbarClick(2);
        f->settle();
        a.编辑框_入会卡号->setText(QStringLiteral("2"));
        QTest::keyClick(a.编辑框_入会卡号, Qt::Key_Return);
        f->settle();
        QCOMPARE(a.按钮_添加会员->text(), AddPage::kTopUpCaption);
        if (op == Op::TopUp)
            QTest::keyClicks(a.编辑框_入金额, QStringLiteral("30"));
        if (op == Op::Redeem)
            QTest::keyClicks(a.编辑框_刷积分, QStringLiteral("40"));
        if (op == Op::Modify || op == Op::Remove)
            a.编辑框_入名称->setText(QStringLiteral("改名"));
        if (op == Op::ModifyAddsInstead || op == Op::RemoveAddsInstead)
            a.编辑框_入会卡号->setText(QStringLiteral("77"));
        break;
    case Op::NewMember:
        f->main().onToolbarClick(2);
        f->settle();
        a.编辑框_入会卡号->setText(QStringLiteral("9999"));
        QTest::keyClick(a.编辑框_入会卡号, Qt::Key_Return);
        f->settle();
        a.编辑框_入名称->setText(QStringLiteral("新人"));
        QTest::keyClicks(a.编辑框_入手机号, QStringLiteral("139"));
        a.组合框_入类型->setCurrentIndex(1);
        QTest::keyClicks(a.编辑框_入金额, QStringLiteral("50"));
        break;
    case Op::CountCharge:
    case Op::AutoCountCharge:
        f->main().onToolbarClick(4);
        if (op == Op::AutoCountCharge)
            swipe().选择框_自动刷卡->click();
        QTest::keyClicks(swipe().编辑框_刷卡号, QStringLiteral("1"));
        break;
    case Op::MoneyCharge:
        f->main().onToolbarClick(4);
        QTest::keyClicks(swipe().编辑框_刷卡号, QStringLiteral("3"));
        QTest::keyClick(swipe().编辑框_刷卡号, Qt::Key_Return); // the lookup enables the amount box
        QTest::keyClicks(swipe().编辑框_刷去金额, QStringLiteral("25"));
        break;
    }
}

void TestFailedWrites::confirmIn(QAbstractButton* opener, const QString& window) {
    f->runDialog(opener, window, [](QDialog* dialog) {
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("编辑框_验证密码"));
        QTest::keyClicks(box, QStringLiteral("1"));
        QTest::keyClick(box, Qt::Key_Return);
    });
}

void TestFailedWrites::act(Op op) {
    switch (op) {
    case Op::TopUp:
    case Op::NewMember:
        QTest::keyClick(add().编辑框_入金额, Qt::Key_Return);
        break;
    case Op::Redeem:
        QTest::keyClick(add().编辑框_刷积分, Qt::Key_Return);
        break;
    case Op::CountCharge:
        swipe().按钮_手动刷卡->click();
        break;
    case Op::AutoCountCharge:
        QTest::keyClick(swipe().编辑框_刷卡号, Qt::Key_Return);
        break;
    case Op::MoneyCharge:
        QTest::keyClick(swipe().编辑框_刷去金额, Qt::Key_Return);
        break;
    case Op::Modify:
    case Op::ModifyAddsInstead:
        confirmIn(add().按钮_会员信息修改, QStringLiteral("ModifyMemberWindow"));
        break;
    case Op::Remove:
    case Op::RemoveAddsInstead:
        confirmIn(add().按钮_注销会员, QStringLiteral("CancelMemberWindow"));
        break;
    }
    f->settle();
}

void TestFailedWrites::retry(Op op) {
    act(op);
}

QString TestFailedWrites::success(Op op) const {
    switch (op) {
    case Op::TopUp:
        return QStringLiteral("充值成功");
    case Op::Redeem:
        return QStringLiteral("兑换成功");
    case Op::CountCharge:
    case Op::AutoCountCharge:
    case Op::MoneyCharge:
        return QStringLiteral("刷卡成功");
    default:
        return {};
    }
}

void TestFailedWrites::reportedNotHidden() {
    QFETCH(Fault, fault);
    QFETCH(Op, op);
    QFETCH(QStringList, messages);

    f = std::make_unique<PagesFixture>();
    QVERIFY(f->start({{"店长", "1", true}}, threeMembers(), "店长", "1"));
    QString table = f->memberPath();
    if (fault == Fault::DiskFull) {
        // The program's folder on a disk of its own: both tables copied there.
        const QString mount = f->dir() + QStringLiteral("/disk");
        QVERIFY(QDir().mkpath(mount));
        m_disk = std::make_unique<FullDisk>();
        QString why;
        if (!m_disk->mount(mount, &why))
            QSKIP(qPrintable(why));
        RecordStore::instance().closeAll();
        QVERIFY(QFile::copy(f->memberPath(), mount + QStringLiteral("/thy.dat")));
        QVERIFY(QFile::copy(f->operatorPath(), mount + QStringLiteral("/gly.dat")));
        setRunDirectory(mount);
        table = mount + QStringLiteral("/thy.dat");
    }
    prepare(op);
    if (QTest::currentTestFailed())
        return;
    const QList<QStringList> before = {readMember(table, 1), readMember(table, 2), readMember(table, 3)};
    QCOMPARE(memberCount(table), 3);
    const QByteArray bytesBefore = readBytes(table);

    // The fault arrives between two operations.
    RecordStore& store = RecordStore::instance();
    switch (fault) {
    case Fault::ReadOnly:
        store.closeAll();
        QVERIFY(QFile::setPermissions(table, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        if (const int fd = ::open(QFile::encodeName(table).constData(), O_WRONLY); fd >= 0) {
            ::close(fd);
            QSKIP("this process writes to read-only files");
        }
        break;
    case Fault::DiskFull:
        store.closeAll();
        QVERIFY(m_disk->fill());
        break;
    case Fault::Removed:
        QVERIFY(QFile::rename(table, table + QStringLiteral(".gone")));
        break;
    case Fault::Replaced:
        // Still open from the preparation; the path now leads to a copy.
        QVERIFY(store.isOpen(table));
        QVERIFY(QFile::rename(table, table + QStringLiteral(".old")));
        QVERIFY(QFile::copy(table + QStringLiteral(".old"), table));
        break;
    }
    f->boxes().clear();

    act(op);

    const QStringList seen = f->boxes().texts();
    QCOMPARE(seen, messages);
    for (const SeenBox& box : f->boxes().seen())
        QCOMPARE(box.icon, box.text == kWriteFailed ? QMessageBox::Critical
                           : box.text == kMismatch  ? QMessageBox::Critical
                                                    : QMessageBox::NoIcon);
    for (const QString& text : seen)
        for (const QString& done : kSuccessTexts)
            QVERIFY2(!text.contains(done), qPrintable(text));

    // The fault gone, the table holds exactly what it held.
    store.closeAll();
    switch (fault) {
    case Fault::ReadOnly:
        QVERIFY(QFile::setPermissions(table, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        break;
    case Fault::DiskFull:
        m_disk->release();
        break;
    case Fault::Removed:
        QVERIFY(QFile::rename(table + QStringLiteral(".gone"), table));
        break;
    case Fault::Replaced:
        QCOMPARE(readBytes(table), bytesBefore); // nothing reached the copy either
        QVERIFY(QFile::remove(table + QStringLiteral(".old")));
        break;
    }
    QCOMPARE(memberCount(table), 3);
    QCOMPARE((QList<QStringList>{readMember(table, 1), readMember(table, 2), readMember(table, 3)}), before);
    QString report;
    QVERIFY2(store.integrityCheck(&report), qPrintable(report));

    // Room again on the disk: the same action, as the page left it, is stored once.
    if (fault != Fault::DiskFull || success(op).isEmpty())
        return;
    store.closeAll();
    f->boxes().clear();
    retry(op);
    QCOMPARE(f->boxes().texts(), QStringList{success(op)});
    QStringList after[3] = {readMember(table, 1), readMember(table, 2), readMember(table, 3)};
    QList<QStringList> expected = before;
    switch (op) {
    case Op::TopUp:
        expected[1][VBalance] = QStringLiteral("130");
        expected[1][VPoints] = QStringLiteral("130");
        break;
    case Op::Redeem:
        expected[1][VPoints] = QStringLiteral("60");
        break;
    case Op::CountCharge:
    case Op::AutoCountCharge:
        expected[0][VVisits] = QStringLiteral("4");
        expected[0][VSwipes] = QStringLiteral("5");
        break;
    case Op::MoneyCharge:
        expected[2][VBalance] = QStringLiteral("75");
        expected[2][VSwipes] = QStringLiteral("5");
        break;
    default:
        break;
    }
    QCOMPARE((QList<QStringList>{after[0], after[1], after[2]}), expected);
}

int main(int argc, char** argv) {
    dropFileModeOverride();
    QApplication app(argc, argv);
    TestFailedWrites test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestFailedWrites.moc"
