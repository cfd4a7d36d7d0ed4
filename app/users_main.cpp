#include "app/UsersWindow.h"

#include <QApplication>
#include <QStyleFactory>

static void initAppResources() {
    Q_INIT_RESOURCE(icons);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvel-users"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setQuitOnLastWindowClosed(false);
    initAppResources();
    quorvel::UsersLoginWindow login;
    QObject::connect(&login, &quorvel::UsersLoginWindow::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    login.show();
    return app.exec();
}
