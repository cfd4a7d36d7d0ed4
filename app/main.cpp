#include "app/Application.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvel"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The program ends when its windows are gone, which the login/main logic decides.
    QApplication::setQuitOnLastWindowClosed(false);
    quorvel::Application program;
    QObject::connect(&program, &quorvel::Application::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    program.start();
    if (program.isEnded())
        return 0;
    return app.exec();
}
