#include "members/Session.h"

#include <QMutex>

namespace quorvel {

namespace {
QMutex& sourceMutex() {
    static QMutex m;
    return m;
}
QString& name() {
    static QString n;
    return n;
}
std::atomic<int> g_currentMemberRecord{0};
} // namespace

QString loggedInOperator() {
    QMutexLocker lock(&sourceMutex());
    return name();
}

void setLoggedInOperator(const QString& n) {
    QMutexLocker lock(&sourceMutex());
    name() = n;
}

int currentMemberRecord() {
    return g_currentMemberRecord.load();
}

void setCurrentMemberRecord(int record) {
    g_currentMemberRecord.store(record);
}

} // namespace quorvel
