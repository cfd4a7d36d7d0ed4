#pragma once
// Answers the program's message boxes while a test drives its windows, and records each one.
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

namespace quorvel::test {

struct SeenBox {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool hasCancel = false;
    bool answeredOk = true;
};

class MessageBoxWatcher : public QObject {
    Q_OBJECT
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher() override;

    // Answers for the next boxes, in order (true = OK); when none is queued, OK is chosen.
    void queueAnswers(const QList<bool>& answers);
    const QList<SeenBox>& seen() const { return m_seen; }
    QStringList texts() const;
    void clear();
    // Waits (processing events) until at least count boxes were seen; false on timeout.
    bool waitForBoxes(int count, int timeoutMs = 5000);
    // Runs fn after every box is answered (before the box's exec returns).
    void setOnAnswered(std::function<void(const SeenBox&)> fn) { m_onAnswered = std::move(fn); }

private:
    void poll();

    QTimer m_timer;
    QList<bool> m_answers;
    QList<SeenBox> m_seen;
    std::function<void(const SeenBox&)> m_onAnswered;
};

} // namespace quorvel::test
