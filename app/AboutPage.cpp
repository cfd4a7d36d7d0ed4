#include "app/AboutPage.h"

#include "app/UpdatePanel.h"
#include "ui_AboutPage.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>

namespace quorvel {

namespace {

const char* const kAboutText =
    "Quorvel 会员卡管理系统\n\n"
    "为理发店、健身房、咖啡馆等小型门店设计的会员卡管理软件。\n\n"
    "·  会员登记：手工输入或扫码枪扫描会员卡号，登记会员资料。\n"
    "·  会员充值：次卡充值次数，储蓄卡、无限卡充值金额，充值每一元累计一个积分。\n"
    "·  消费刷卡：次卡每次刷去一次，储蓄卡、无限卡按消费金额从余额中扣除。\n"
    "·  会员查询：按会员卡号、会员名称或手机号码查找会员。\n"
    "·  会员维护：管理员确认密码后修改或注销会员。\n\n"
    "全部数据保存在软件的数据文件夹（便携使用时即软件所在文件夹），管理员与会员数据均以密码保护。";
const char* const kAboutFooter = "感谢您选用 Quorvel。使用中如有问题，请与我们联系：service@quorvel.example";
const char* const kHelpText =
    "软件设置\n"
    "  登录界面：设置启动标语的文字、字体、颜色与对齐方式，选择启动背景图片及显示方式。\n"
    "  主界面：设置软件标题及字体，选择宣传图片、图片边框与显示方式；没有图片时可设置标题背景色。\n"
    "  关闭模式：“重新登录”在关闭主窗口后回到登录界面，“完全退出”关闭主窗口即退出软件。\n"
    "  初始化会员数据：第一次使用时建立会员数据库，已有数据时不会改动。\n\n"
    "日常操作\n"
    "  1. 点击“会员管理”，输入或扫描会员卡号后按回车：已有会员进入充值，新卡号进入添加会员。\n"
    "  2. 依次填写名称、手机号码、会员类型、充值次数或金额，在充值金额框按回车即可完成。\n"
    "  3. 点击“消费刷卡”，扫描会员卡号：勾选“自动刷次卡”时次卡自动刷去一次；\n"
    "     储蓄卡、无限卡填写消费金额后按回车或点击“手动刷卡”。\n"
    "  4. 忘记卡号时在“会员信息查询”中按卡号、名称或手机号码查找。";
const char* const kOtherProducts =
    "Quorvel 工作室的其它产品\n\n"
    "·  Quorvel 进销存：门店进货、销售与库存管理。\n"
    "·  Quorvel 预约簿：顾客预约与提醒。\n"
    "·  Quorvel 收银台：扫码收银与日结报表。";

} // namespace

AboutPage::AboutPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::AboutPage>()) {
    m_ui->setupUi(this);
    m_ui->标签_关于->setText(QString::fromUtf8(kAboutText));
    m_ui->透明标签29->setText(QString::fromUtf8(kAboutFooter));
    m_ui->标签_设置说明->setText(QString::fromUtf8(kHelpText));
    m_ui->标签_其它产品->setText(QString::fromUtf8(kOtherProducts));
}

AboutPage::~AboutPage() = default;

UpdatePanel* AboutPage::setUpUpdateCheck(FtpClient& ftp) {
    if (!m_update)
        m_update = new UpdatePanel(ftp, *this);
    return m_update;
}

void AboutPage::endUpdateCheck() {
    if (m_update)
        m_update->endCheck();
}

QString AboutPage::makerPageAddress() {
    const QByteArray fromEnv = qgetenv("QUORVEL_MAKER_PAGE");
    return fromEnv.isEmpty() ? QStringLiteral(QUORVEL_MAKER_PAGE) : QString::fromUtf8(fromEnv);
}

void AboutPage::loadMakerPage() {
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request{QUrl(makerPageAddress())};
    request.setTransferTimeout(10000);
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            return; // an unreachable page shows nothing and reports nothing
        const QByteArray html = reply->read(4 * 1024 * 1024);
        QStringDecoder decoder = QStringDecoder::decoderForHtml(html);
        m_ui->超文本浏览框1->setHtml(decoder.isValid() ? QString(decoder.decode(html)) : QString::fromUtf8(html));
    });
}

} // namespace quorvel
