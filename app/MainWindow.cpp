#include "app/MainWindow.h"

#include "app/AboutPage.h"
#include "app/Application.h"
#include "app/DataBackup.h"
#include "app/UpdatePanel.h"
#include "config/Program.h"
#include "config/SettingsPage.h"
#include "members/AddPage.h"
#include "members/CancelMemberWindow.h"
#include "members/MemberTable.h"
#include "members/ModifyMemberWindow.h"
#include "members/Session.h"
#include "members/SwipePage.h"
#include "text/DateText.h"
#include "ui_AboutPage.h"
#include "ui_AddPage.h"
#include "ui_MainWindow.h"
#include "ui_SettingsPage.h"
#include "ui_SwipePage.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>

namespace quorvel {

namespace {

struct StatusPart {
    int width;
    const char* text;
};

// Operator, clock, then the maker's name and contact details.
const StatusPart kStatusParts[10] = {
    {40, "管理员"},  {80, ""},           {40, "时间："},    {180, ""},         {80, "Quorvel"},
    {188, "会员卡管理系统 · Quorvel 工作室"}, {60, "电话："}, {80, "4008207153"}, {60, "邮箱："},
    {110, "service@quorvel"},
};

// Truncation toward zero of a sum or difference computed in floating point.
int trunc(double v) {
    return static_cast<int>(v);
}

} // namespace

MainWindow::MainWindow(Application& app) : m_app(app), m_ui(std::make_unique<Ui::MainWindow>()) {
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/app/quorvel.svg")));
    // Shown modal and without a parent: every other window of the program stays disabled.
    setWindowModality(Qt::ApplicationModal);

    m_settings = new SettingsPage;
    m_add = new AddPage;
    m_swipe = new SwipePage;
    m_about = new AboutPage;
    QTabWidget* tabs = m_ui->高级选择夹;
    tabs->addTab(m_settings, QStringLiteral("软件设置"));
    tabs->addTab(m_add, QStringLiteral("添加会员"));
    tabs->addTab(m_swipe, QStringLiteral("刷卡记录"));
    tabs->addTab(m_about, QStringLiteral("关于"));
    tabs->setCurrentIndex(AboutPageIndex);
    // Modal over the whole program, without a parent window.
    m_add->setDialogOpeners(
        [this] {
            ModifyMemberWindow window(*m_add);
            window.exec();
        },
        [this] {
            CancelMemberWindow window(*m_add);
            window.exec();
        });
    m_about->ui().高级选择夹_关于->setCurrentIndex(0);
    // Both update buttons run the same check; the settings page's one shows its tab first.
    UpdatePanel* update = m_about->setUpUpdateCheck(m_app.ftp());
    connect(m_about->ui().按钮_检查更新, &QPushButton::clicked, update, &UpdatePanel::startCheck);
    m_settings->setUpdateCheckHandler([this, update] {
        m_ui->高级选择夹->setCurrentIndex(AboutPageIndex);
        m_about->ui().高级选择夹_关于->setCurrentIndex(2);
        update->startCheck();
    });
    // Creating the member table ends the program, whatever the closing mode.
    m_settings->setInitialiseMembersHandler([this] {
        if (members::createMemberTable(this) == members::CreateOutcome::ProgramEnds)
            m_app.endProgram();
    });
    // A restore replaces every file the program has open: it starts again on them.
    m_settings->setBackupHandlers([this] { backup::backUpData(this); },
                                  [this] {
                                      if (!backup::restoreData(this))
                                          return;
                                      program::startDetached(
                                          program::siblingExecutable(program::kMainProgram));
                                      m_app.endProgram();
                                  });

    buildStatusBar();
    m_ui->图片框_主题图片->raise();

    connect(m_ui->工具条1, &QToolBar::actionTriggered, this, [this](QAction* action) {
        onToolbarClick(int(m_ui->工具条1->actions().indexOf(action)));
    });

    m_clock = new QTimer(this);
    m_clock->setObjectName(QStringLiteral("时钟1"));
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &MainWindow::tickClock);
    m_clock->start();

    dockBars();
    // Creation handler: lay out, then style from the settings.
    layoutMainWindow();
    m_app.applyMainWindowSettings(this);
    tickClock();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildStatusBar() {
    QStatusBar* bar = m_ui->状态条_提示;
    QFont font = bar->font();
    font.setPointSize(9);
    bar->setFont(font);
    // Parts of fixed width side by side; what does not fit is cut off at the right edge rather
    // than squeezed, as a status bar of fixed parts behaves.
    int x = 0;
    for (int i = 0; i < 10; ++i) {
        auto* label = new QLabel(QString::fromUtf8(kStatusParts[i].text), bar);
        label->setObjectName(QStringLiteral("状态条_提示_%1").arg(i));
        label->setFixedWidth(kStatusParts[i].width);
        label->move(x, 0);
        x += kStatusParts[i].width;
        m_statusParts.append(label);
    }
}

QLabel* MainWindow::statusPart(int index) const {
    return m_statusParts.value(index);
}

void MainWindow::dockBars() {
    // The toolbar keeps to the top of the client area and the status bar to its bottom.
    const int th = m_ui->工具条1->height();
    m_ui->工具条1->setGeometry(0, 0, width(), th);
    const int sh = m_ui->状态条_提示->height();
    m_ui->状态条_提示->setGeometry(0, height() - sh, width(), sh);
    for (QLabel* part : m_statusParts)
        part->setFixedHeight(sh);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dockBars();
}

void MainWindow::layoutMainWindow() {
    const double cw = width();
    const double ch = height();
    const double th = m_ui->工具条1->height();
    const double sh = m_ui->状态条_提示->height();
    auto W = [](QWidget* w) { return double(w->width()); };
    auto H = [](QWidget* w) { return double(w->height()); };

    QTabWidget* tabs = m_ui->高级选择夹;
    tabs->tabBar()->hide();
    tabs->setGeometry(0, trunc(th), trunc(cw), trunc(ch - th - sh));

    QWidget* addPane = m_add->ui().分组框_添加会员;
    addPane->setGeometry(1, 1, addPane->width(), trunc(H(tabs) - 2));
    QWidget* addList = m_add->ui().超级列表框_添加;
    addList->setGeometry(trunc(W(addPane)), 0, trunc(W(tabs) - W(addPane)), trunc(H(tabs)));

    QWidget* swipePane = m_swipe->ui().分组框_刷卡;
    swipePane->setGeometry(1, 1, trunc(W(tabs)), swipePane->height());
    QWidget* swipeList = m_swipe->ui().超级列表框_刷卡;
    swipeList->setGeometry(1, trunc(H(swipePane)), trunc(W(tabs) - 1), trunc(H(tabs) - H(swipePane)));

    QWidget* picture = m_ui->图片框_主题图片;
    picture->setGeometry(picture->x(), 0, picture->width(), trunc(th));
    m_ui->透明标签_软件标题->setGeometry(0, 0, trunc(W(picture)), trunc(H(picture)));

    QWidget* loginGroup = m_settings->ui().分组框_登录界面设置;
    loginGroup->setGeometry(1, 2, loginGroup->width(), trunc(H(tabs) - 3));
    QWidget* mainGroup = m_settings->ui().分组框_主界面设置;
    mainGroup->setGeometry(trunc(W(loginGroup) + 2), 2, mainGroup->width(), trunc(H(tabs) - 3));

    QWidget* aboutTabs = m_about->ui().高级选择夹_关于;
    aboutTabs->setGeometry(1, 1, trunc(W(tabs)), trunc(H(tabs)));
    m_about->ui().标签_关于->setGeometry(1, 25, trunc(W(tabs)), trunc(H(tabs)));
    m_about->ui().标签_设置说明->setGeometry(1, 25, trunc(W(tabs)), trunc(H(tabs)));
}

void MainWindow::onToolbarClick(int index) {
    QTabWidget* tabs = m_ui->高级选择夹;
    switch (index) {
    case 0:
        tabs->setCurrentIndex(SettingsPageIndex);
        layoutMainWindow();
        break;
    case 2:
        tabs->setCurrentIndex(AddPageIndex);
        layoutMainWindow();
        m_add->restartListLoad();
        m_add->ui().编辑框_入会卡号->setFocus();
        break;
    case 4:
        tabs->setCurrentIndex(SwipePageIndex);
        layoutMainWindow();
        m_swipe->ui().编辑框_刷卡号->setFocus();
        break;
    case 6:
        tabs->setCurrentIndex(AboutPageIndex);
        layoutMainWindow();
        m_about->loadMakerPage();
        break;
    default:
        break; // separators
    }
}

void MainWindow::setLoggedInOperator(const QString& name) {
    m_statusParts[1]->setText(name);
    quorvel::setLoggedInOperator(name);
}

QString MainWindow::loggedInOperator() const {
    return m_statusParts[1]->text();
}

void MainWindow::restrictToolbar() {
    const QList<QAction*> actions = m_ui->工具条1->actions();
    actions[0]->setEnabled(false);
    actions[2]->setEnabled(false);
}

void MainWindow::tickClock() {
    const QDateTime now = QDateTime::currentDateTime();
    m_statusParts[3]->setText(dateTimeText(now));
    m_add->ui().编辑框_入时间->setText(dateText(now.date()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    m_clock->stop();
    m_app.closeMainWindow();
}

} // namespace quorvel
