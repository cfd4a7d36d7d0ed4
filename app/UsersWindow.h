#pragma once
// The operator-management program: administrators add, change and remove operators.
#include "app/OperatorTable.h"

#include <QWidget>

#include <memory>

namespace Ui {
class UsersLoginWindow;
class UsersWindow;
} // namespace Ui

namespace quorvel {

class UsersWindow;

class UsersLoginWindow : public QWidget {
    Q_OBJECT
public:
    UsersLoginWindow();
    ~UsersLoginWindow() override;
    Ui::UsersLoginWindow& ui() { return *m_ui; }

    void reloadOperatorList();
    void checkLogin();
    UsersWindow* usersWindow() const { return m_users.get(); }

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool openTable();

    std::unique_ptr<Ui::UsersLoginWindow> m_ui;
    std::unique_ptr<UsersWindow> m_users;
};

class UsersWindow : public QWidget {
    Q_OBJECT
public:
    explicit UsersWindow(const QString& administrator);
    ~UsersWindow() override;
    Ui::UsersWindow& ui() { return *m_ui; }

    void reload();
    void addOperator();
    void modifyOperator();
    void removeOperator();
    // Offers to change the seeded operator's well-known password.
    void offerSeedPasswordChange();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int selectedRecord() const;
    void showSelected();
    bool validName(const QString& name);
    bool validNewPassword(const QString& password, const QString& again, bool required);
    bool confirmDuplicateName(const QString& name, int exceptRecord);
    bool changeRecord(int record, const QString& name, const QString* password, bool administrator);

    std::unique_ptr<Ui::UsersWindow> m_ui;
    QString m_administrator;
    QList<operators::Operator> m_operators;
};

} // namespace quorvel
