#include "tests/reliability/CrashPlan.h"

namespace quorvel::test {

std::uint64_t mix(std::uint64_t x) {
    // splitmix64: every (seed, index) pair gives its own well-spread number.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

QList<CrashMember> crashMembers() {
    const QString count = QStringLiteral("次卡");
    return {
        {QStringLiteral("7001"), count, 3, 0, 50, 0},
        {QStringLiteral("7002"), QStringLiteral("储蓄卡"), 0, 100, 100, 0},
        {QStringLiteral("7003"), count, 1, 0, 0, 4},
        {QStringLiteral("7004"), QStringLiteral("无限卡"), 0, 40, 40, 2},
        {QStringLiteral("7005"), QStringLiteral("储蓄卡"), 0, 0, 0, 0},
        {QStringLiteral("7006"), count, 0, 0, 10, 9},
    };
}

PlannedOp plannedOp(std::uint64_t seed, qint64 index) {
    const std::uint64_t r = mix(seed ^ mix(std::uint64_t(index)));
    const int memberCount = int(crashMembers().size());
    PlannedOp op;
    op.member = int(r % std::uint64_t(memberCount));
    const bool countCard = crashMembers()[op.member].type == QStringLiteral("次卡");
    const int roll = int((r >> 8) % 100);
    if (countCard) {
        op.kind = roll < 40 ? PlannedOp::TopUp : PlannedOp::Charge;
        op.visits = op.kind == PlannedOp::TopUp ? qint64(1 + (r >> 16) % 3) : 0;
        op.amount = op.kind == PlannedOp::TopUp ? qint64(10 + (r >> 24) % 51) : 0;
    } else {
        op.kind = roll < 35 ? PlannedOp::TopUp : PlannedOp::Charge;
        op.amount = op.kind == PlannedOp::TopUp ? qint64(20 + (r >> 16) % 281) : qint64(1 + (r >> 16) % 80);
    }
    return op;
}

bool applyPlanned(const PlannedOp& op, QList<CrashMember>& members) {
    CrashMember& m = members[op.member];
    const bool countCard = m.type == QStringLiteral("次卡");
    if (op.kind == PlannedOp::TopUp) {
        if (countCard)
            m.visits += op.visits;
        else
            m.balance += op.amount;
        m.points += op.amount;
        return true;
    }
    if (countCard) {
        if (m.visits <= 0)
            return false;
        m.visits -= 1;
    } else {
        if (m.balance - op.amount < 0)
            return false;
        m.balance -= op.amount;
    }
    m.swipes += 1;
    return true;
}

QByteArray ackLine(qint64 index, bool applied) {
    return "ACK " + QByteArray::number(index) + (applied ? " done" : " refused");
}

} // namespace quorvel::test
