#pragma once
// The operations the crash worker runs and the crash test replays: the same list of top-ups and
// charges, fixed by a seed, so the test knows what every acknowledged operation did.
#include <QList>
#include <QString>

#include <cstdint>

namespace quorvel::test {

// The members of the crash table, in record order.
struct CrashMember {
    QString card;
    QString type; // "次卡", "储蓄卡" or "无限卡"
    qint64 visits = 0;  // remaining visits (count card)
    qint64 balance = 0; // yuan (money cards); the operator types whole yuan only
    qint64 points = 0;
    qint64 swipes = 0;
};
QList<CrashMember> crashMembers();

struct PlannedOp {
    enum Kind { TopUp, Charge } kind = TopUp;
    int member = 0;    // index into crashMembers()
    qint64 visits = 0; // top-up of a count card: visits bought
    qint64 amount = 0; // top-up: yuan paid; charge of a money card: yuan spent
};
// Operation number index of the run fixed by seed.
PlannedOp plannedOp(std::uint64_t seed, qint64 index);

// What op does to the members, as the program's rules have it. False when the program refuses
// it (no visits left, balance short): then nothing changes.
bool applyPlanned(const PlannedOp& op, QList<CrashMember>& members);

// The worker's acknowledgement of operation index, printed once the program has reported it.
QByteArray ackLine(qint64 index, bool applied);
inline constexpr char kReadyLine[] = "READY";

std::uint64_t mix(std::uint64_t x);

} // namespace quorvel::test
