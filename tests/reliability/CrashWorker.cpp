// Runs top-ups and charges through the real add and swipe pages, typed as an operator types
// them, against the member table of a run folder, and prints an acknowledgement once the page
// has reported each operation. The crash test kills it at random moments.
//
//   quorvel-crash-worker RUNDIR SEED FIRST
//
// runs the operations FIRST, FIRST + 1, ... of the plan fixed by SEED until it is killed.
// Output: "READY", then one line per operation (see ackLine); "ERR ..." and exit code 2 when
// the page shows anything the operation should not have shown.
#include "config/Dialogs.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/Session.h"
#include "members/SwipePage.h"
#include "tests/reliability/CrashPlan.h"
#include "ui_AddPage.h"
#include "ui_SwipePage.h"

#include <QApplication>
#include <QStringList>
#include <QTest>

#include <cstdio>
#include <sys/prctl.h>
#include <csignal>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QStringList g_seen;

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void die(qint64 index, const QString& what) {
    say("ERR " + QByteArray::number(index) + ' ' + what.toUtf8());
    std::_Exit(2);
}

void typeInto(QLineEdit* box, const QString& text) {
    box->clear();
    box->setFocus();
    QTest::keyClicks(box, text);
}

// The add page's top-up of a recognised member: scan the card, then the count and the amount.
QStringList topUp(AddPage& page, const CrashMember& m, const PlannedOp& op, qint64 index) {
    Ui::AddPage& u = page.ui();
    g_seen.clear();
    typeInto(u.编辑框_入会卡号, m.card);
    QTest::keyClick(u.编辑框_入会卡号, Qt::Key_Return);
    page.settleCardChecks();
    if (u.按钮_添加会员->text() != AddPage::kTopUpCaption)
        die(index, QStringLiteral("member %1 not recognised: %2").arg(m.card, g_seen.join(u'|')));
    if (m.type == QStringLiteral("次卡"))
        typeInto(u.编辑框_充值次数, QString::number(op.visits));
    typeInto(u.编辑框_入金额, QString::number(op.amount));
    QTest::keyClick(u.编辑框_入金额, Qt::Key_Return);
    return g_seen;
}

// The swipe page: the card and Enter (a lookup), then the manual swipe of a count card or the
// amount and Enter of a money card.
QStringList charge(SwipePage& page, const CrashMember& m, const PlannedOp& op) {
    Ui::SwipePage& u = page.ui();
    g_seen.clear();
    typeInto(u.编辑框_刷卡号, m.card);
    QTest::keyClick(u.编辑框_刷卡号, Qt::Key_Return);
    if (m.type == QStringLiteral("次卡")) {
        u.按钮_手动刷卡->click();
    } else {
        typeInto(u.编辑框_刷去金额, QString::number(op.amount));
        QTest::keyClick(u.编辑框_刷去金额, Qt::Key_Return);
    }
    return g_seen;
}

} // namespace

int main(int argc, char** argv) {
    // Never outlive the test that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: quorvel-crash-worker RUNDIR SEED FIRST\n");
        return 1;
    }
    setRunDirectory(args[1]);
    const std::uint64_t seed = args[2].toULongLong();
    const qint64 first = args[3].toLongLong();
    setLoggedInOperator(QStringLiteral("店长"));
    setMessageHookForTesting([](QWidget*, const QString& text, MessageIcon, bool) {
        g_seen.append(text);
        return true;
    });

    AddPage add;
    SwipePage swipe;
    add.show();
    swipe.show();
    QCoreApplication::processEvents();

    // The first use of the pages (opening the table, the first typed keys) takes far longer than
    // an operation: do it before READY with lookups that write nothing, so that the kill moments
    // fall among operations.
    const QList<CrashMember> members = crashMembers();
    typeInto(swipe.ui().编辑框_刷卡号, members[0].card);
    QTest::keyClick(swipe.ui().编辑框_刷卡号, Qt::Key_Return);
    typeInto(add.ui().编辑框_入会卡号, members[0].card);
    QTest::keyClick(add.ui().编辑框_入会卡号, Qt::Key_Return);
    add.settleCardChecks();
    if (!g_seen.isEmpty())
        die(first, QStringLiteral("lookup showed: ") + g_seen.join(u'|'));
    QCoreApplication::processEvents();
    say(kReadyLine);

    // The rules decide refusals from the state, which the worker does not know: it reports what
    // the page said, and the test compares that with its own replay.
    const QString topUpDone = QStringLiteral("充值成功");
    const QString swipeDone = QStringLiteral("刷卡成功");
    const QStringList refusals = {QStringLiteral("会员充值的次数已用完  请尽快充值\r\n\r\n方便您今后使用"),
                                  QStringLiteral("预存金额不足   请尽快充值")};
    for (qint64 i = first;; ++i) {
        const PlannedOp op = plannedOp(seed, i);
        const CrashMember& m = members[op.member];
        const QStringList seen = op.kind == PlannedOp::TopUp ? topUp(add, m, op, i) : charge(swipe, m, op);
        const QString done = op.kind == PlannedOp::TopUp ? topUpDone : swipeDone;
        if (seen == QStringList{done})
            say(ackLine(i, true));
        else if (op.kind == PlannedOp::Charge && seen.size() == 1 && refusals.contains(seen[0]))
            say(ackLine(i, false));
        else
            die(i, QStringLiteral("unexpected messages: ") + seen.join(u'|'));
        QCoreApplication::processEvents();
    }
}
