#include "tests/members/PagesFixture.h"

#include "app/Application.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "config/Program.h"
#include "config/RunDirectory.h"
#include "members/AddPage.h"
#include "members/MemberWorker.h"
#include "members/SwipePage.h"
#include "store/RecordStore.h"
#include "ui_LoginWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

namespace quorvel::test {

PagesFixture::PagesFixture() {
    setRunDirectory(m_dir.path());
    program::setStarterForTesting([](const QString&) { return true; });
    m_boxes = std::make_unique<MessageBoxWatcher>();
}

PagesFixture::~PagesFixture() {
    MemberWorker::instance().waitIdle();
    m_app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MemberWorker::instance().waitIdle();
    RecordStore::instance().setWriteHookForTesting(nullptr);
    RecordStore::instance().closeAll();
    m_boxes.reset();
    program::setStarterForTesting({});
    setRunDirectory(QString());
}

bool PagesFixture::start(const QList<OperatorRow>& operators, const QList<MemberRow>& members,
                         const QString& login, const QString& password) {
    if (!makeOperatorTable(operatorPath(), operators) || !makeMemberTable(memberPath(), members))
        return false;
    m_app = std::make_unique<Application>();
    m_app->start();
    LoginWindow* loginWindow = m_app->loginWindow();
    if (!loginWindow)
        return false;
    auto& ui = loginWindow->ui();
    ui.组合框_用户名->setCurrentIndex(ui.组合框_用户名->findText(login));
    ui.编辑框_登录密码->setText(password);
    loginWindow->checkLogin();
    if (!m_app->mainWindow())
        return false;
    // Focus moves are only visible in the active window.
    QApplication::setActiveWindow(m_app->mainWindow());
    m_boxes->clear();
    return true;
}

MainWindow& PagesFixture::main() const {
    return *m_app->mainWindow();
}

AddPage& PagesFixture::add() const {
    return *main().addPage();
}

SwipePage& PagesFixture::swipe() const {
    return *main().swipePage();
}

void PagesFixture::settle() {
    // A hand-over may post more work (a list load hands over a batch, then reads the next):
    // go on until a round of the GUI's events leaves the worker with nothing to do.
    MemberWorker& worker = MemberWorker::instance();
    for (int quiet = 0; quiet < 2;) {
        worker.waitIdle();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        quiet = worker.isIdle() ? quiet + 1 : 0;
    }
}

PagesFixture::DialogEnd PagesFixture::runDialog(QAbstractButton* opener, const QString& objectName,
                             const std::function<void(QDialog*)>& act) {
    DialogEnd end = DialogEnd::NeverShown;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(w);
            if (!dialog || dialog->objectName() != objectName || !dialog->isVisible())
                continue;
            poll.stop();
            act(dialog);
            end = dialog->isVisible() ? DialogEnd::LeftOpen : DialogEnd::Closed;
            if (end == DialogEnd::LeftOpen)
                dialog->reject();
            return;
        }
    });
    poll.start();
    opener->click();
    return end;
}

} // namespace quorvel::test
