#include "members/SwipePage.h"

#include "config/Dialogs.h"
#include "config/Settings.h"
#include "members/History.h"
#include "members/HistoryWindow.h"
#include "members/InputFilters.h"
#include "members/MemberConfirmation.h"
#include "members/MemberListModel.h"
#include "members/MemberQuery.h"
#include "members/MemberTable.h"
#include "members/MemberWorker.h"
#include "text/Numbers.h"

#include "ui_SwipePage.h"

#include <mutex>

namespace quorvel {

using namespace members;

namespace {

const QString kSwipeDone = QStringLiteral("刷卡成功");
// The two paths word the same refusal differently; each keeps its own.
const QString kAutoVisitsUsedUp = QStringLiteral("会员充值的次数已用完 \r\n\r\n 请尽快充值\r\n\r\n方便您今后使用");
const QString kManualVisitsUsedUp = QStringLiteral("会员充值的次数已用完  请尽快充值\r\n\r\n方便您今后使用");
const QString kBalanceShort = QStringLiteral("预存金额不足   请尽快充值");
const QString kAmountMissing = QStringLiteral("需要填写消费金额");
const QString kChooseManual = QStringLiteral("刷金额 请选择手动");

} // namespace

// Lets the query on the worker hand its steps to the page for as long as the page exists.
struct SwipePage::Relay {
    std::mutex mutex;
    SwipePage* page = nullptr;

    void post(std::function<void(SwipePage&)> step) {
        std::lock_guard guard(mutex);
        if (!page)
            return;
        SwipePage* target = page;
        MemberWorker::toGui(target, [target, step = std::move(step)] {
            target->queueQueryStep([target, step] { step(*target); });
        });
    }
};

SwipePage::SwipePage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::SwipePage>()), m_relay(std::make_shared<Relay>()) {
    m_ui->setupUi(this);
    m_relay->page = this;

    m_list = new MemberListModel(MemberListModel::Kind::SwipeList, this);
    m_list->attachTo(m_ui->超级列表框_刷卡);

    // The card-number box takes any input, a pasted number included.
    input::installNumberInput(m_ui->编辑框_刷去金额);
    // Both are compared with stored fields: GBK text of at most a field's length.
    input::limitGbkBytes(m_ui->编辑框_刷卡号, kFieldLength);
    input::limitGbkBytes(m_ui->编辑框_查询内容, kFieldLength);
    for (QWidget* box : {static_cast<QWidget*>(m_ui->编辑框_刷去金额), static_cast<QWidget*>(m_ui->编辑框_刷会员名称),
                         static_cast<QWidget*>(m_ui->编辑框_刷手机号), static_cast<QWidget*>(m_ui->编辑框_刷卡类型),
                         static_cast<QWidget*>(m_ui->编辑框_刷卡次数)})
        input::installPasteBlock(box);

    connect(m_ui->编辑框_刷卡号, &QLineEdit::returnPressed, this, &SwipePage::swipeLookup);
    connect(m_ui->编辑框_刷去金额, &QLineEdit::returnPressed, this, &SwipePage::manualSwipe);
    connect(m_ui->按钮_手动刷卡, &QPushButton::clicked, this, &SwipePage::manualSwipe);
    connect(m_ui->选择框_自动刷卡, &QCheckBox::clicked, this, &SwipePage::onAutoSwipeClicked);
    connect(m_ui->按钮_会员信息查询, &QPushButton::clicked, this, &SwipePage::memberQuery);
    connect(m_ui->编辑框_查询内容, &QLineEdit::returnPressed, this, &SwipePage::memberQuery);
    connect(m_ui->组合框_会员信息查询类型, &QComboBox::activated, this,
            [this] { m_ui->编辑框_查询内容->setFocus(); });
    connect(m_ui->按钮_消费明细, &QPushButton::clicked, this, [this] {
        HistoryWindow window(m_ui->编辑框_刷卡号->text());
        window.exec();
    });
    m_ui->组合框_会员信息查询类型->setCurrentIndex(0);
}

SwipePage::~SwipePage() {
    {
        std::lock_guard guard(m_relay->mutex);
        m_relay->page = nullptr;
    }
    MemberWorker::instance().cancel(MemberWorker::Kind::Query);
}

void SwipePage::onAutoSwipeClicked(bool checked) {
    settings::writeFlag(settings::kAutoSwipe, checked);
}

void SwipePage::fillMemberBoxes(const RecordStore& store) {
    m_ui->编辑框_刷会员名称->setText(store.readField(kFieldName));
    m_ui->编辑框_刷手机号->setText(store.readField(kFieldPhone));
    m_ui->编辑框_刷卡类型->setText(store.readField(kFieldType));
}

void SwipePage::clearMemberBoxes() {
    m_ui->编辑框_刷卡号->clear();
    m_ui->编辑框_刷会员名称->clear();
    m_ui->编辑框_刷手机号->clear();
    m_ui->编辑框_刷卡类型->clear();
}

void SwipePage::appendSwipeRow(double value, const QStringList& cells) {
    m_list->appendRow(numberToText(value), cells);
}

void SwipePage::swipeLookup() {
    RecordStore& store = RecordStore::instance();
    LockSlot lock(std::in_place, store);
    const OpenResult opened = openMemberTableQuietly();
    if (opened != OpenResult::Ready) {
        lock.reset();
        showMessage(this, openFailureText(opened));
        return;
    }
    m_list->clear();
    const QString card = m_ui->编辑框_刷卡号->text();
    QLineEdit* amountBox = m_ui->编辑框_刷去金额;

    if (!m_ui->选择框_自动刷卡->isChecked()) {
        // A lookup only: every member with this number, the boxes ending at the last one. Each
        // match is found and read at once, and tells whether another follows.
        int next = 0;
        for (int record = store.goToFirst(kFieldCard, card, 1, &next); record != 0;
             record = next == 0 ? 0 : store.goToFirst(kFieldCard, card, next, &next)) {
            fillMemberBoxes(store);
            if (store.readField(kFieldType) == kCountCard) {
                amountBox->setEnabled(false);
            } else {
                amountBox->setEnabled(true);
                amountBox->setFocus();
            }
            appendSwipeRow(record, swipeListCells(store));
        }
        return;
    }

    const int record = store.goToFirst(kFieldCard, card);
    if (record == 0)
        return;
    fillMemberBoxes(store);
    QStringList cells;
    if (store.readField(kFieldType) == kCountCard) {
        if (chargeVisits(lock, kAutoVisitsUsedUp, &cells) != Charge::Charged)
            return;
        showMessage(this, kSwipeDone);
        clearMemberBoxes();
        amountBox->setFocus();
    } else {
        cells = swipeListCells(store);
        lock.reset();
        amountBox->setEnabled(true);
        // Off for this window only: the stored setting keeps what the operator chose.
        m_ui->选择框_自动刷卡->setChecked(false);
        showMessage(this, kChooseManual, MessageIcon::Question);
        amountBox->setFocus();
    }
    appendSwipeRow(record, cells);
}

void SwipePage::manualSwipe() {
    RecordStore& store = RecordStore::instance();
    LockSlot lock(std::in_place, store);
    const OpenResult opened = openMemberTableQuietly();
    if (opened != OpenResult::Ready) {
        lock.reset();
        showMessage(this, openFailureText(opened));
        return;
    }
    if (m_ui->选择框_自动刷卡->isChecked())
        return;
    m_list->clear();
    const int record = store.goToFirst(kFieldCard, m_ui->编辑框_刷卡号->text());
    if (record == 0)
        return;
    fillMemberBoxes(store);
    QStringList cells;
    if (store.readField(kFieldType) == kCountCard) {
        if (chargeVisits(lock, kManualVisitsUsedUp, &cells) != Charge::Charged)
            return;
        clearMemberBoxes();
    } else {
        if (chargeAmount(lock, &cells) != Charge::Charged)
            return;
        clearMemberBoxes();
        m_ui->编辑框_刷去金额->clear();
    }
    showMessage(this, kSwipeDone);
    m_ui->编辑框_刷卡号->setFocus();
    appendSwipeRow(record, cells);
}

SwipePage::Charge SwipePage::chargeVisits(LockSlot& lock, const QString& refusal, QStringList* cells) {
    RecordStore& store = RecordStore::instance();
    const double remaining = textToNumber(store.readField(kFieldVisits));
    if (!(remaining > kTolerance)) {
        lock.reset();
        showMessage(this, refusal);
        clearMemberBoxes();
        return Charge::Refused;
    }
    m_ui->编辑框_刷去金额->setEnabled(false);
    const double visits = textToNumber(m_ui->编辑框_刷卡次数->text());
    bool written = false;
    if (history::attachHistory()) {
        const history::MemberValues before = history::currentValues(store);
        RecordStore::Transaction tx(store);
        written = tx.isActive() &&
                  store.writeField(kFieldSwipes,
                                   numberToText(addAmounts(textToNumber(store.readField(kFieldSwipes)), visits))) &&
                  store.modifyField(PosVisits,
                                    numberToText(addAmounts(textToNumber(store.readField(kFieldVisits)), -visits))) &&
                  history::appendEntry(history::kSwipe, numberToText(visits), before,
                                       history::currentValues(store)) &&
                  tx.commit();
    }
    if (!written) {
        lock.reset();
        showMessage(this, kWriteFailedText, MessageIcon::Error);
        return Charge::WriteFailed;
    }
    *cells = swipeListCells(store);
    lock.reset();
    return Charge::Charged;
}

SwipePage::Charge SwipePage::chargeAmount(LockSlot& lock, QStringList* cells) {
    RecordStore& store = RecordStore::instance();
    QLineEdit* amountBox = m_ui->编辑框_刷去金额;
    const double balance = textToNumber(store.readField(kFieldBalance));
    const double amount = textToNumber(amountBox->text());
    if (addAmounts(balance, -amount) < -kTolerance) {
        lock.reset();
        showMessage(this, kBalanceShort);
        clearMemberBoxes();
        amountBox->clear();
        return Charge::Refused;
    }
    // A negative amount would credit the card from the swipe page, which every operator can
    // reach: money comes in only through a top-up.
    if (amountBox->text().isEmpty() || amount < -kTolerance) {
        lock.reset();
        showMessage(this, kAmountMissing);
        return Charge::Refused;
    }
    amountBox->setEnabled(true);
    const double visits = textToNumber(m_ui->编辑框_刷卡次数->text());
    bool written = false;
    if (history::attachHistory()) {
        const history::MemberValues before = history::currentValues(store);
        RecordStore::Transaction tx(store);
        written = tx.isActive() &&
                  store.writeField(kFieldSwipes,
                                   numberToText(addAmounts(textToNumber(store.readField(kFieldSwipes)), visits))) &&
                  store.modifyField(PosBalance,
                                    numberToText(addAmounts(textToNumber(store.readField(kFieldBalance)), -amount))) &&
                  history::appendEntry(history::kSwipe, numberToText(amount), before,
                                       history::currentValues(store)) &&
                  tx.commit();
    }
    if (!written) {
        lock.reset();
        showMessage(this, kWriteFailedText, MessageIcon::Error);
        return Charge::WriteFailed;
    }
    *cells = swipeListCells(store);
    lock.reset();
    return Charge::Charged;
}

void SwipePage::memberQuery() {
    // The task sees the kind and the text as they are now, never the widgets.
    const int kind = m_ui->组合框_会员信息查询类型->currentIndex();
    const QString text = m_ui->编辑框_查询内容->text();
    std::shared_ptr<Relay> relay = m_relay;
    MemberWorker::instance().post(MemberWorker::Kind::Query, [relay, kind, text](const std::atomic<bool>& cancelled) {
        runMemberQuery(kind, text, cancelled, [relay](QueryStep step) {
            relay->post([step = std::move(step)](SwipePage& page) {
                Ui::SwipePage& ui = page.ui();
                switch (step.kind) {
                case QueryStep::Message:
                    showMessage(&page, step.text, step.icon);
                    break;
                case QueryStep::Start:
                    page.swipeList().clear();
                    ui.透明标签_会员刷卡加载->setText(step.text);
                    ui.进度条2->setValue(0);
                    break;
                case QueryStep::Found:
                    ui.透明标签_会员刷卡加载->setText(step.text);
                    ui.进度条2->setMaximum(step.recordCount);
                    ui.进度条2->setValue(step.recordCount);
                    page.appendSwipeRow(step.record - 1, step.cells);
                    break;
                case QueryStep::NotFound:
                    ui.进度条2->setMaximum(step.recordCount);
                    ui.进度条2->setValue(step.recordCount);
                    showMessage(&page, step.text, step.icon);
                    break;
                }
            });
        });
    });
    m_ui->编辑框_刷卡号->setFocus();
}

void SwipePage::queueQueryStep(std::function<void()> step) {
    m_querySteps.push_back(std::move(step));
    runQueryStepsInOrder();
}

void SwipePage::runQueryStepsInOrder() {
    // A step showing a message box runs an event loop; steps arriving meanwhile wait for it.
    if (m_runningQuerySteps)
        return;
    m_runningQuerySteps = true;
    while (!m_querySteps.empty()) {
        std::function<void()> step = std::move(m_querySteps.front());
        m_querySteps.pop_front();
        step();
    }
    m_runningQuerySteps = false;
}

} // namespace quorvel
