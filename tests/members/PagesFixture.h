#pragma once
// A logged-in main window over prepared operator and member tables, for the member pages' GUI
// tests: the real Application, LoginWindow and MainWindow, offscreen.
#include "tests/support/Members.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Tables.h"
#include "tests/support/TempRunDir.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QAbstractButton;

namespace quorvel {
class Application;
class MainWindow;
class AddPage;
class SwipePage;
} // namespace quorvel

namespace quorvel::test {

// Positions in readMember()'s list.
enum MemberValue { VId, VCard, VName, VGender, VPhone, VType, VVisits, VBalance, VOperator, VPoints, VSignUp, VSwipes };

class PagesFixture {
public:
    PagesFixture();
    ~PagesFixture();

    // Creates the tables and logs in as login with password; false when anything failed.
    bool start(const QList<OperatorRow>& operators, const QList<MemberRow>& members,
               const QString& login, const QString& password);

    MainWindow& main() const;
    AddPage& add() const;
    SwipePage& swipe() const;
    MessageBoxWatcher& boxes() { return *m_boxes; }
    QString memberPath() const { return m_dir.file(QStringLiteral("thy.dat")); }
    QString operatorPath() const { return m_dir.file(QStringLiteral("gly.dat")); }
    QString dir() const { return m_dir.path(); }

    // Lets the worker finish what was posted and the GUI thread run what it handed over.
    void settle();

    QStringList member(int record) const { return readMember(memberPath(), record); }
    int memberCount() const { return quorvel::test::memberCount(memberPath()); }

    // Clicks opener, which runs a modal dialog named objectName; act runs once the dialog is
    // shown. Says whether the dialog was still open after act (it is then closed).
    enum class DialogEnd { NeverShown, Closed, LeftOpen };
    DialogEnd runDialog(QAbstractButton* opener, const QString& objectName, const std::function<void(QDialog*)>& act);

private:
    TempRunDir m_dir;
    std::unique_ptr<MessageBoxWatcher> m_boxes;
    std::unique_ptr<Application> m_app;
};

} // namespace quorvel::test
