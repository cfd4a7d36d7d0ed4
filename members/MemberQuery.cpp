#include "members/MemberQuery.h"

#include "members/MemberTable.h"
#include "store/RecordStore.h"

#include <optional>

namespace quorvel::members {

namespace {

struct KindTexts {
    const QString& field;
    QString emptyBox;
    QString notFound;
};

const KindTexts& kindTexts(int kind) {
    static const KindTexts texts[3] = {
        {kFieldCard, QStringLiteral("请输入您要查询的会员卡号"),
         QStringLiteral("您要查询的会员卡号没有找到 ！\r\n如果忘记请选择其它方式")},
        {kFieldName, QStringLiteral("请输入您要查询的会员名称"),
         QStringLiteral("您要查询的会员名称没有找到 ！\r\n如果忘记请选择其它方式")},
        {kFieldPhone, QStringLiteral("请输入您要查询的会员通讯号码"),
         QStringLiteral("您要查询的会员通讯没有找到 ！\r\n如果忘记请选择其它方式")},
    };
    return texts[kind];
}

QueryStep message(const QString& text, MessageIcon icon) {
    QueryStep step;
    step.kind = QueryStep::Message;
    step.text = text;
    step.icon = icon;
    return step;
}

} // namespace

void runMemberQuery(int kind, const QString& text, const std::atomic<bool>& cancelled,
                    const std::function<void(QueryStep)>& handOver) {
    RecordStore& store = RecordStore::instance();
    // One hold from the open to the last read: nothing may replace the table or move the
    // current record in between.
    std::optional<RecordStore::Lock> lock(std::in_place, store);
    const OpenResult opened = openMemberTableQuietly();
    if (opened != OpenResult::Ready) {
        lock.reset();
        handOver(message(openFailureText(opened), MessageIcon::None));
        return;
    }
    if (kind < QueryByCard || kind > QueryByPhone)
        return;
    const KindTexts& texts = kindTexts(kind);
    if (text.isEmpty()) {
        lock.reset();
        handOver(message(texts.emptyBox, MessageIcon::Information));
        return;
    }
    QueryStep start;
    start.kind = QueryStep::Start;
    start.text = QStringLiteral("正在核实数据，请稍候操作");
    handOver(start);
    if (cancelled)
        return;

    const int count = store.recordCount();
    const int record = store.goToFirst(texts.field, text);
    QueryStep result;
    result.recordCount = count;
    if (record > 0) {
        result.kind = QueryStep::Found;
        result.text = QStringLiteral("已核实数据完成");
        result.record = record;
        result.cells = swipeListCells(store);
    } else if (count > 0) {
        result.kind = QueryStep::NotFound;
        result.text = texts.notFound;
        result.icon = MessageIcon::Information;
    } else {
        return; // an empty table: no message at all
    }
    lock.reset();
    handOver(std::move(result));
}

} // namespace quorvel::members
