// Renders the program's windows to PNG files from the real forms, with sample data in a
// temporary run directory:  quorvel-screenshots OUTPUT_FOLDER
#include "app/AboutPage.h"
#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/UsersWindow.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/MemberTable.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "ui_AboutPage.h"
#include "ui_AddPage.h"
#include "ui_LoginWindow.h"
#include "ui_SwipePage.h"
#include "ui_UsersLoginWindow.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quorvel;

namespace {

bool makeTables(const QString& dir) {
    RecordStore& store = RecordStore::instance();
    const QString gly = dir + "/gly.dat";
    QList<FieldDef> ops = {{"ID", TextField, 50}, {"管理员名称", TextField, 50}, {"管理员密码", TextField, 50},
                           {"管理员权限", LogicalField, 20}};
    if (!store.createTable(gly, ops) || !store.openTable(gly) || !store.setPassword(kTablePassword))
        return false;
    store.addBlankRecord();
    store.writeField("管理员名称", "店长");
    store.writeField("管理员密码", "1");
    store.writeFlag("管理员权限", true);
    store.closeAll();
    const QString thy = dir + "/thy.dat";
    if (!store.createTable(thy, members::memberFields()) || !store.openTable(thy) ||
        !store.setPassword(kTablePassword))
        return false;
    const QList<QStringList> rows = {
        {"0", "10001", "张三", "男", "13800000001", "次卡", "9", "", "店长", "200", "2026年12月1日", "3"},
        {"0", "10002", "李四", "女", "13800000002", "储蓄卡", "", "350", "店长", "500", "2026年12月3日", "2"},
        {"0", "10003", "王五", "男", "13800000003", "无限卡", "", "1000", "店长", "1000", "2026年12月8日", ""},
    };
    for (const QStringList& r : rows) {
        store.addBlankRecord();
        for (int i = 0; i < r.size(); ++i)
            store.modifyField(i + 1, r[i]);
    }
    store.closeAll();
    return true;
}

void grab(QWidget* w, const QString& file) {
    w->repaint();
    QTest::qWait(50);
    w->grab().save(file);
}

// Clicks a button that runs a modal dialog, takes the dialog's picture and closes it.
void grabDialog(QAbstractButton* opener, const QString& file) {
    QTimer::singleShot(200, [file] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            grab(dialog, file);
            dialog->close();
        }
    });
    opener->click();
}

// Types like a bar-code scanner or the operator: the text, then Enter.
void type(QWidget* box, const QString& text) {
    box->setFocus();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setQuitOnLastWindowClosed(false);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    QTemporaryDir dir;
    setRunDirectory(dir.path());
    if (!makeTables(dir.path()))
        return 1;
    // Answer message boxes with OK, after a picture of the first one.
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                static int n = 0;
                box->grab().save(out + QString("/message-%1.png").arg(++n));
                box->accept();
            }
    });
    answer.start();

    Application program;
    program.start();
    LoginWindow* login = program.loginWindow();
    login->ui().组合框_用户名->setCurrentIndex(0);
    login->ui().编辑框_登录密码->setText("1");
    grab(login, out + "/login.png");
    login->checkLogin();
    MainWindow* main = program.mainWindow();
    if (!main)
        return 2;
    grab(main, out + "/main-about.png");
    QTabWidget* aboutTabs = main->aboutPage()->ui().高级选择夹_关于;
    aboutTabs->setCurrentIndex(1);
    grab(main, out + "/main-about-help.png");
    aboutTabs->setCurrentIndex(2);
    grab(main, out + "/main-about-update.png");
    aboutTabs->setCurrentIndex(0);
    main->onToolbarClick(0);
    grab(main, out + "/main-settings.png");
    main->onToolbarClick(2);
    QTest::qWait(500);
    grab(main, out + "/main-add.png");
    // A member recognised by its card: the dialogs that act on it.
    AddPage* add = main->addPage();
    type(add->ui().编辑框_入会卡号, "10001");
    add->settleCardChecks();
    QTest::qWait(100);
    grab(main, out + "/main-add-recognised.png");
    grabDialog(add->ui().按钮_会员信息修改, out + "/dialog-modify.png");
    grabDialog(add->ui().按钮_注销会员, out + "/dialog-cancel.png");
    // A stored-value card charged by hand: looked up by its number, then the amount.
    main->onToolbarClick(4);
    SwipePage* swipe = main->swipePage();
    type(swipe->ui().编辑框_刷卡号, "10002");
    type(swipe->ui().编辑框_刷去金额, "25");
    QTest::qWait(300);
    grab(main, out + "/main-swipe.png");
    main->close();
    RecordStore::instance().closeAll();

    // The operator program.
    UsersLoginWindow users;
    users.show();
    users.ui().组合框_用户名->setCurrentIndex(0);
    users.ui().编辑框_登录密码->setText("1");
    grab(&users, out + "/users-login.png");
    users.checkLogin();
    if (UsersWindow* list = users.usersWindow())
        grab(list, out + "/users.png");
    RecordStore::instance().closeAll();
    return 0;
}
