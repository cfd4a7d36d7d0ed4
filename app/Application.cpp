#include "app/Application.h"

#include "app/AboutPage.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "config/Appearance.h"
#include "config/Settings.h"
#include "members/AddPage.h"
#include "store/RecordStore.h"
#include "update/FtpClient.h"
#include "update/UpdateCheck.h"

// Resources of a static library are registered by hand.
static void initAppResources() {
    Q_INIT_RESOURCE(icons);
}

namespace quorvel {

// The program's only FTP use is the update check, so its downloads are capped at a descriptor.
Application::Application() : m_ftp(std::make_unique<FtpClient>(kMaxDescriptorBytes)) {
    initAppResources();
    registerFontSubstitutions();
}

Application::~Application() {
    delete m_main.data();
    delete m_login.data();
}

LoginWindow* Application::loginWindow() const {
    return m_login;
}

MainWindow* Application::mainWindow() const {
    return m_main;
}

FtpClient& Application::ftp() {
    return *m_ftp;
}

void Application::start() {
    m_login = new LoginWindow(*this);
    m_login->prepareLoginWindow();
    if (m_login)
        m_login->show();
}

MainWindow* Application::createMainWindow() {
    m_main = new MainWindow(*this);
    m_main->setAttribute(Qt::WA_DeleteOnClose);
    return m_main;
}

void Application::applyMainWindowSettings(MainWindow* main) {
    quorvel::applyMainWindowSettings(main, m_login);
}

void Application::releaseConnections() {
    RecordStore::instance().closeAll();
    m_ftp->requestAbort();
    m_ftp->close();
}

void Application::closeMainWindow() {
    MainWindow* closing = m_main;
    if (!closing)
        return;
    m_main = nullptr;
    closing->addPage()->endListLoad();
    closing->aboutPage()->endUpdateCheck();
    if (settings::readFlag(settings::kRelogin)) {
        if (m_login) {
            m_login->prepareLoginWindow();
            if (m_login)
                m_login->show();
        }
    } else {
        RecordStore::instance().closeAll();
        destroyLoginWindow();
    }
    releaseConnections();
    closing->deleteLater();
    finishIfNoWindow();
}

void Application::destroyLoginWindow() {
    if (!m_login)
        return;
    LoginWindow* login = m_login;
    m_login = nullptr;
    releaseConnections();
    login->hide();
    login->deleteLater();
    finishIfNoWindow();
}

void Application::endProgram() {
    RecordStore::instance().closeAll();
    if (MainWindow* main = m_main) {
        m_main = nullptr;
        main->addPage()->endListLoad();
        main->aboutPage()->endUpdateCheck();
        main->hide();
        main->deleteLater();
    }
    destroyLoginWindow();
    finishIfNoWindow();
}

void Application::finishIfNoWindow() {
    if (m_ended || m_login || m_main)
        return;
    m_ended = true;
    emit ended();
}

} // namespace quorvel
