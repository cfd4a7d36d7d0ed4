#pragma once
// The member query's work on the member worker: it reads the store and describes what the
// page shows, step by step, for the GUI thread to carry out in order.
#include "config/Dialogs.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace quorvel::members {

// Positions of the items of 组合框_会员信息查询类型.
enum QueryKind { QueryByCard = 0, QueryByName = 1, QueryByPhone = 2 };

struct QueryStep {
    enum Kind {
        Message,  // show text with icon, nothing else
        Start,    // empty the swipe list, progress text := text, progress position := 0
        Found,    // progress text := text, progress at recordCount of recordCount, row of record
        NotFound, // progress at recordCount of recordCount, then show text with icon
    };
    Kind kind = Message;
    QString text;
    MessageIcon icon = MessageIcon::None;
    int recordCount = 0;
    int record = 0;     // 1-based
    QStringList cells;  // the swipe list's columns 1..10 of record
};

// Runs on any thread. Finds the first member, in record order, whose field of that kind equals
// text exactly, and hands each step to handOver in the order the page must show them.
void runMemberQuery(int kind, const QString& text, const std::atomic<bool>& cancelled,
                    const std::function<void(QueryStep)>& handOver);

} // namespace quorvel::members
