#pragma once
// The program's windows and their lifecycle: login, main window, the two ways of closing.
#include <QObject>
#include <QPointer>

#include <memory>

namespace quorvel {

class LoginWindow;
class MainWindow;
class FtpClient;

class Application : public QObject {
    Q_OBJECT
public:
    Application();
    ~Application() override;

    // Creates the login window (preparing it may already end the program on a first run).
    void start();

    LoginWindow* loginWindow() const;
    MainWindow* mainWindow() const;
    bool isEnded() const { return m_ended; }

    // Hidden and modal; its creation lays it out and styles it.
    MainWindow* createMainWindow();
    void applyMainWindowSettings(MainWindow* main);
    // The user closed the main window: back to the login window, or the end of the program.
    void closeMainWindow();
    // The login window goes away; without a main window that ends the program.
    void destroyLoginWindow();
    // Member-data initialisation ends the program whatever the closing mode.
    void endProgram();

    FtpClient& ftp();

signals:
    // No window is left: the message loop ends.
    void ended();

private:
    void releaseConnections();
    void finishIfNoWindow();

    QPointer<LoginWindow> m_login;
    QPointer<MainWindow> m_main;
    bool m_ended = false;
    std::unique_ptr<FtpClient> m_ftp;
};

} // namespace quorvel
