#include "app/Application.h"
#include "app/LoginWindow.h"

#include <QApplication>
#include <QStyleFactory>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// --measure-startup: print when the login window first paints, then quit. The benchmark
// compares the monotonic time printed with the time it started the process.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            std::printf("login-window-shown-at-ns %lld\n", static_cast<long long>(ns.count()));
            std::fflush(stdout);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};

} // namespace

int main(int argc, char** argv) {
    bool measureStartup = false;
    for (int i = 1; i < argc; ++i)
        measureStartup = measureStartup || std::strcmp(argv[i], "--measure-startup") == 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvel"));
    // Lets Wayland desktops match the windows to quorvel.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvel"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The program ends when its windows are gone, which the login/main logic decides.
    QApplication::setQuitOnLastWindowClosed(false);
    quorvel::Application program;
    QObject::connect(&program, &quorvel::Application::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    program.start();
    if (program.isEnded())
        return measureStartup ? 1 : 0;
    FirstPaint firstPaint;
    if (measureStartup && program.loginWindow())
        program.loginWindow()->installEventFilter(&firstPaint);
    return app.exec();
}
