#include "tests/support/MessageBoxWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>

namespace quorvel::test {

MessageBoxWatcher::MessageBoxWatcher() {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    m_timer.start();
}

MessageBoxWatcher::~MessageBoxWatcher() = default;

void MessageBoxWatcher::queueAnswers(const QList<bool>& answers) {
    m_answers.append(answers);
}

QStringList MessageBoxWatcher::texts() const {
    QStringList out;
    for (const SeenBox& b : m_seen)
        out.append(b.text);
    return out;
}

void MessageBoxWatcher::clear() {
    m_seen.clear();
    m_answers.clear();
}

bool MessageBoxWatcher::waitForBoxes(int count, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (m_seen.size() < count && t.elapsed() < timeoutMs)
        QTest::qWait(5);
    return m_seen.size() >= count;
}

void MessageBoxWatcher::poll() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible() || box->property("quorvelAnswered").toBool())
            continue;
        box->setProperty("quorvelAnswered", true);
        SeenBox seen;
        seen.text = box->text();
        seen.icon = box->icon();
        seen.hasCancel = box->button(QMessageBox::Cancel) != nullptr;
        seen.answeredOk = m_answers.isEmpty() ? true : m_answers.takeFirst();
        m_seen.append(seen);
        if (m_onAnswered)
            m_onAnswered(seen);
        QAbstractButton* button = box->button(seen.answeredOk || !seen.hasCancel ? QMessageBox::Ok : QMessageBox::Cancel);
        if (button)
            button->click();
        else
            box->reject();
    }
}

} // namespace quorvel::test
