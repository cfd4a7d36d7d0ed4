#include "members/AddPage.h"

#include "config/Dialogs.h"
#include "members/AddOperations.h"
#include "members/HistoryWindow.h"
#include "members/InputFilters.h"
#include "members/ListLoader.h"
#include "members/MemberListModel.h"
#include "members/MemberTable.h"
#include "members/MemberWorker.h"
#include "members/Session.h"
#include "store/RecordStore.h"
#include "text/Numbers.h"
#include "ui_AddPage.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace quorvel {

using namespace quorvel::members;

const QString AddPage::kAddCaption = QStringLiteral("添加会员");
const QString AddPage::kTopUpCaption = QStringLiteral("会员充值");

namespace {

const QString kCheckingText = QStringLiteral("正在核实会员信息，请稍候……");
const QString kCardChangedQuestion = QStringLiteral(
    "存在不正当操作，会 员 卡 号 已 有 变 动！！！\r\n\r\n"
    "如果卡号有与他人员相同 将为他人充值，否则将更改为添加新顾客\r\n\r\n"
    "确认= 添加新会员           取消= 放弃这次非法更改");

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

AddPage::AddPage(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::AddPage>()), m_cardChecks(std::make_unique<TaskTracker>()) {
    m_ui->setupUi(this);
    Ui::AddPage& u = *m_ui;

    m_list = new MemberListModel(MemberListModel::Kind::AddList, this);
    m_list->attachTo(u.超级列表框_添加);
    m_loader = std::make_unique<ListLoader>(ListLoader::Widgets{m_list, u.透明标签_会员加载数据, u.进度条1, this});

    u.组合框_入类型->setCurrentIndex(0);
    u.组合框_入性别->setCurrentIndex(0);
    u.编辑框_充值次数->setEnabled(true);

    for (QLineEdit* box : {u.编辑框_入会卡号, u.编辑框_入手机号, u.编辑框_充值次数, u.编辑框_入金额, u.编辑框_刷积分})
        input::installNumberInput(box);
    for (QLineEdit* box : {u.编辑框_入会卡号, u.编辑框_入名称, u.编辑框_入手机号, u.编辑框_充值次数, u.编辑框_入金额})
        input::limitGbkBytes(box, members::kFieldLength);
    for (QLineEdit* box :
         {u.编辑框_入会卡号, u.编辑框_入名称, u.编辑框_入手机号, u.编辑框_充值次数, u.编辑框_入金额, u.编辑框_刷积分}) {
        input::installPasteBlock(box);
        box->installEventFilter(this);
    }

    connect(u.组合框_入类型, &QComboBox::activated, this, [this] { selectCardType(); });
    connect(u.按钮_添加会员, &QPushButton::clicked, this, [this] { addOrTopUp(); });
    connect(u.按钮_刷积分, &QPushButton::clicked, this, [this] { redeemPoints(); });
    connect(u.按钮_会员信息修改, &QPushButton::clicked, this, [this] {
        if (m_openModify)
            m_openModify();
    });
    connect(u.按钮_注销会员, &QPushButton::clicked, this, [this] {
        if (m_openCancel)
            m_openCancel();
    });
    connect(u.按钮_会员消费明细, &QPushButton::clicked, this, [this] {
        HistoryWindow window(m_ui->编辑框_入会卡号->text());
        window.exec();
    });
}

AddPage::~AddPage() {
    endListLoad();
}

void AddPage::setDialogOpeners(std::function<void()> modify, std::function<void()> cancel) {
    m_openModify = std::move(modify);
    m_openCancel = std::move(cancel);
}

bool AddPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !isEnter(static_cast<QKeyEvent*>(event)))
        return QWidget::eventFilter(watched, event);
    Ui::AddPage& u = *m_ui;
    // The Enter chain, so that a scanner typing a number and Enter drives the page.
    if (watched == u.编辑框_入会卡号) {
        u.编辑框_入名称->setFocus();
        checkCardNumber();
    } else if (watched == u.编辑框_入名称) {
        u.编辑框_入手机号->setFocus();
    } else if (watched == u.编辑框_入手机号 || watched == u.编辑框_充值次数) {
        u.编辑框_入金额->setFocus();
    } else if (watched == u.编辑框_入金额) {
        addOrTopUp();
    } else if (watched == u.编辑框_刷积分) {
        redeemPoints();
    }
    return false;
}

// --- member list ------------------------------------------------------------------------------

void AddPage::startListLoad() {
    m_loader->start();
}

void AddPage::restartListLoad() {
    startListLoad();
}

void AddPage::endListLoad() {
    MemberWorker::instance().cancel(MemberWorker::Kind::CardCheck);
    m_loader->cancelAndWait();
    m_cardChecks->wait();
}

void AddPage::flushHandOvers() {
    // Every hand-over of this page's tasks is queued to the page itself.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void AddPage::finishListLoad() {
    // A load's first hand-over posts its row task: go on until running the hand-overs posts
    // no further task. Only this thread posts load tasks, so the count tells exactly.
    for (;;) {
        m_loader->wait();
        const auto posted = m_loader->postedTasks();
        flushHandOvers();
        if (m_loader->postedTasks() == posted)
            break;
    }
}

void AddPage::settleCardChecks() {
    m_cardChecks->wait();
    flushHandOvers();
}

void AddPage::loadMemberListNow() {
    m_loader->cancel();
    m_cardChecks->wait();
    m_loader->cancelAndWait();
    flushHandOvers();
    m_loader->loadNow();
}

// --- card-number check ------------------------------------------------------------------------

bool AddPage::isCurrentCheck(unsigned generation) const {
    return MemberWorker::instance().generation(MemberWorker::Kind::CardCheck) == generation;
}

void AddPage::checkCardNumber() {
    // The card number as it is now; the check runs on the worker and reads no widget.
    const QString card = m_ui->编辑框_入会卡号->text();
    MemberWorker& worker = MemberWorker::instance();
    // The check empties and refills the list: a load still filling it ends here.
    m_loader->cancel();
    const unsigned generation = worker.generation(MemberWorker::Kind::CardCheck);
    worker.post(MemberWorker::Kind::CardCheck,
                m_cardChecks->track([this, generation, card](const std::atomic<bool>& cancelled) {
                    runCardCheck(generation, card, cancelled);
                }));
}

void AddPage::runCardCheck(unsigned generation, const QString& card, const std::atomic<bool>& cancelled) {
    // Runs on the worker: widgets are only touched in what is handed to the GUI thread.
    auto gui = [this, generation](std::function<void()> fn) {
        MemberWorker::toGui(this, [this, generation, fn = std::move(fn)] {
            if (isCurrentCheck(generation))
                fn();
        });
    };
    gui([this] { m_list->clear(); });
    if (cancelled)
        return;
    RecordStore& store = RecordStore::instance();
    RecordStore::Lock lock(store);
    const OpenResult opened = openMemberTableQuietly();
    if (opened != OpenResult::Ready) {
        gui([this, text = openFailureText(opened)] { showMessage(this, text); });
        return;
    }
    gui([this] {
        m_ui->透明标签_积分->clear();
        m_list->clear();
        m_ui->编辑框_入名称->setFocus();
        m_ui->按钮_添加会员->setEnabled(true);
    });
    const CardLookup lookup = members::lookUpCard(card);
    const int count = lookup.count;
    gui([this, count] {
        m_ui->进度条1->setMaximum(count);
        m_ui->透明标签_会员加载数据->setText(count > 0 ? kCheckingText : kEmptyTableText);
    });
    if (count == 0 || cancelled)
        return;
    if (lookup.member)
        gui([this, member = *lookup.member, count] { showRecognised(member, count); });
    else
        gui([this, count] { showUnknownCard(count); });
}

void AddPage::showRecognised(const RecognisedMember& m, int count) {
    Ui::AddPage& u = *m_ui;
    u.透明标签_会员加载数据->setText(QStringLiteral("欢迎会员充值"));
    u.进度条1->setValue(count);
    u.按钮_会员信息修改->setEnabled(true);
    u.按钮_注销会员->setEnabled(true);
    u.编辑框_入名称->setText(m.name);
    u.编辑框_入手机号->setText(m.phone);
    setCurrentMemberRecord(m.record);
    u.按钮_刷积分->setEnabled(true);
    u.编辑框_刷积分->setEnabled(true);
    struct TypeView {
        const QString& type;
        const char* welcome;
        int item;
        bool countBox;
    };
    const TypeView views[] = {{members::kCountCard, "欢迎次卡会员充值", 0, true},
                              {members::kStoredValueCard, "欢迎储蓄卡会员充值", 1, false},
                              {members::kUnlimitedCard, "欢迎无限卡会员充值", 2, false}};
    for (const TypeView& v : views) {
        if (m.type != v.type)
            continue;
        u.透明标签_会员加载数据->setText(QString::fromUtf8(v.welcome));
        u.组合框_入类型->setCurrentIndex(v.item);
        u.编辑框_充值次数->setEnabled(v.countBox);
        (v.countBox ? u.编辑框_充值次数 : u.编辑框_入金额)->setFocus();
    }
    u.按钮_添加会员->setText(kTopUpCaption);
    u.组合框_入性别->setCurrentIndex(m.gender == QStringLiteral("男") ? 0 : 1);
    m_list->appendRow(QStringLiteral("0"), m.listCells);
    u.透明标签_积分->setText(numberToText(textToNumber(m.points)));
}

void AddPage::showUnknownCard(int count) {
    Ui::AddPage& u = *m_ui;
    // The scan went through every record without a match.
    u.进度条1->setValue(count);
    u.透明标签_会员加载数据->setText(QStringLiteral("欢迎新会员加入"));
    u.按钮_添加会员->setText(kAddCaption);
    u.编辑框_入名称->clear();
    u.编辑框_入手机号->clear();
    u.编辑框_入金额->clear();
    u.组合框_入类型->setCurrentIndex(-1);
    u.编辑框_充值次数->clear();
    u.按钮_添加会员->setEnabled(true);
    u.按钮_会员信息修改->setEnabled(false);
    u.按钮_注销会员->setEnabled(false);
}

// --- card type, reset -------------------------------------------------------------------------

void AddPage::selectCardType() {
    Ui::AddPage& u = *m_ui;
    if (u.组合框_入类型->currentText() == members::kCountCard) {
        u.编辑框_充值次数->setEnabled(true);
        u.编辑框_充值次数->setFocus();
    } else {
        u.编辑框_充值次数->setEnabled(false);
        u.编辑框_入金额->setFocus();
    }
}

void AddPage::resetAddPage() {
    Ui::AddPage& u = *m_ui;
    u.编辑框_入会卡号->clear();
    u.编辑框_入名称->clear();
    u.编辑框_入手机号->clear();
    u.组合框_入类型->setCurrentIndex(-1);
    u.编辑框_入金额->clear();
    u.编辑框_充值次数->clear();
}

// --- add or top up ----------------------------------------------------------------------------

bool AddPage::writeNewMember(const members::NewMember& member) {
    if (!members::writeNewMemberRecord(member)) {
        showMessage(this, members::kWriteFailedText, MessageIcon::Error);
        return false;
    }
    showMessage(this, members::newMemberSummary(member));
    return true;
}

void AddPage::addOrTopUp() {
    settleCardChecks();
    Ui::AddPage& u = *m_ui;
    members::NewMember typed;
    typed.card = u.编辑框_入会卡号->text();
    typed.name = u.编辑框_入名称->text();
    typed.gender = u.组合框_入性别->currentText();
    typed.phone = u.编辑框_入手机号->text();
    typed.type = u.组合框_入类型->currentText();
    typed.visits = u.编辑框_充值次数->text();
    typed.amount = u.编辑框_入金额->text();

    struct Check {
        bool failed;
        const char* message;
        QWidget* focus;
    };
    const Check checks[] = {
        {isBlank(typed.card), "卡号不能为空！", nullptr},
        {isBlank(typed.name), "名称不能为空！", nullptr},
        {isBlank(typed.phone), "电话号不能为空！", nullptr},
        {isBlank(typed.type), "卡类型不能为空！", nullptr},
        {withoutSpaces(typed.type) == members::kCountCard && isBlank(typed.visits), "充值次数不能为空！",
         u.编辑框_充值次数},
        {isBlank(typed.amount), "充值金额不能为空！", u.编辑框_入金额},
    };
    for (const Check& c : checks) {
        if (!c.failed)
            continue;
        showMessage(this, QString::fromUtf8(c.message), MessageIcon::Error);
        if (c.focus)
            c.focus->setFocus();
        return;
    }

    if (!openMemberTable(this))
        return;

    if (u.按钮_添加会员->text() != kTopUpCaption) {
        // New-member mode: the last check found no member with this number.
        typed.operatorName = loggedInOperator();
        typed.signUp = u.编辑框_入时间->text();
        if (!writeNewMember(typed))
            return;
        u.编辑框_入会卡号->setFocus();
        resetAddPage();
        startListLoad();
        return;
    }

    switch (members::applyTopUp(currentMemberRecord(), typed.card, typed.type, typed.visits, typed.amount)) {
    case members::TopUpResult::Applied:
        resetAddPage();
        u.按钮_添加会员->setText(kAddCaption);
        u.透明标签_积分->clear();
        showMessage(this, QStringLiteral("充值成功"));
        startListLoad();
        return;
    case members::TopUpResult::WriteFailed:
        showMessage(this, members::kWriteFailedText, MessageIcon::Error);
        return;
    case members::TopUpResult::CardChanged:
        break;
    }

    // The card box no longer shows the recognised member's number.
    if (!askOkCancel(this, kCardChangedQuestion, MessageIcon::Warning)) {
        resetAddPage();
        u.按钮_添加会员->setText(kAddCaption);
        return;
    }
    u.按钮_添加会员->setText(kAddCaption);
    if (members::findMemberByCard(typed.card) != 0) {
        showMessage(this, QStringLiteral("会员卡号重复  不能添加！"), MessageIcon::Error);
        return;
    }
    typed.operatorName = loggedInOperator();
    typed.signUp = u.编辑框_入时间->text();
    if (!writeNewMember(typed))
        return;
    resetAddPage();
}

// --- points redemption ------------------------------------------------------------------------

void AddPage::redeemPoints() {
    settleCardChecks();
    Ui::AddPage& u = *m_ui;
    if (u.按钮_添加会员->text() != kTopUpCaption)
        return;
    // The recognised member is in the member table; another operation may have made its own
    // table current since.
    const OpenResult opened = openMemberTableQuietly();
    if (opened != OpenResult::Ready) {
        showMessage(this, openFailureText(opened));
        return;
    }
    switch (members::redeemMemberPoints(currentMemberRecord(), u.编辑框_入会卡号->text(), u.编辑框_刷积分->text())) {
    case members::RedeemResult::CardChanged:
        showMessage(this, QStringLiteral("操作不当 兑换失败"));
        return;
    case members::RedeemResult::NotEnoughPoints:
        showMessage(this, members::kNotEnoughPointsText);
        return;
    case members::RedeemResult::NegativePoints:
        showMessage(this, members::kNegativePointsText);
        return;
    case members::RedeemResult::WriteFailed:
        showMessage(this, members::kWriteFailedText, MessageIcon::Error);
        return;
    case members::RedeemResult::Redeemed:
        break;
    }
    u.编辑框_入会卡号->clear();
    u.编辑框_入名称->clear();
    u.编辑框_入手机号->clear();
    u.组合框_入类型->setCurrentIndex(-1);
    u.编辑框_入金额->clear();
    u.编辑框_充值次数->clear();
    u.编辑框_刷积分->clear();
    u.按钮_添加会员->setText(kAddCaption);
    u.透明标签_积分->clear();
    loadMemberListNow();
    showMessage(this, QStringLiteral("兑换成功"));
}

} // namespace quorvel
