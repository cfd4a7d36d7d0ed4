#include "members/InputFilters.h"

#include "text/Gbk.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QValidator>

#include <algorithm>

#include <functional>
#include <vector>

namespace quorvel::input {

namespace {

// Judges each insertion into a line edit: accept(box, inserted, replaced) says whether the
// text may become box's text with `replaced` (the selection) taken out and `inserted` put in.
class InsertionGuard : public QObject {
public:
    using Rule = std::function<bool(const QLineEdit*, const QString& inserted, const QString& replaced)>;

    InsertionGuard(QLineEdit* box, Rule rule) : QObject(box), m_box(box), m_rule(std::move(rule)) {
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_box)
            return false;
        // The box is asked nothing for other events: a box being destroyed still sends some
        // (its focus going out) once it is a QLineEdit no more.
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::InputMethod:
        case QEvent::Drop:
        case QEvent::MouseButtonRelease:
            break;
        default:
            return false;
        }
        if (m_box->isReadOnly())
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            return refusesKey(static_cast<QKeyEvent*>(event));
        case QEvent::InputMethod:
            return refusesInputMethod(static_cast<QInputMethodEvent*>(event));
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData() || !drop->mimeData()->hasText())
                return false;
            // A drop inserts at the drop point; judge it as pure insertion (the longer result).
            if (m_rule(m_box, drop->mimeData()->text(), QString()))
                return false;
            drop->ignore();
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (mouse->button() != Qt::MiddleButton || !clipboard->supportsSelection())
                return false;
            return !m_rule(m_box, clipboard->text(QClipboard::Selection), QString());
        }
        default:
            return false;
        }
    }

private:
    bool refusesKey(QKeyEvent* key) {
        if (key->matches(QKeySequence::Paste))
            return !m_rule(m_box, QGuiApplication::clipboard()->text(), m_box->selectedText());
        // Ctrl (with or without Shift) makes a shortcut (select all, undo...), never text;
        // AltGr, which arrives as Ctrl+Alt, does type characters.
        const Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
        if (held == Qt::ControlModifier || held == (Qt::ControlModifier | Qt::ShiftModifier))
            return false;
        const QString text = key->text();
        if (text.isEmpty() || text.at(0).category() == QChar::Other_Control)
            return false;
        return !m_rule(m_box, text, m_box->selectedText());
    }

    bool refusesInputMethod(QInputMethodEvent* im) {
        const QString commit = im->commitString();
        if (commit.isEmpty() || m_rule(m_box, commit, m_box->selectedText()))
            return false;
        // Drop the commit, and end the composition shown in the box with it.
        QInputMethodEvent cleared;
        QCoreApplication::sendEvent(m_box, &cleared);
        return true;
    }

    QLineEdit* m_box;
    Rule m_rule;
};

class PasteBlock : public QObject {
public:
    explicit PasteBlock(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            return key->key() == Qt::Key_V && key->modifiers() == Qt::ControlModifier;
        }
        case QEvent::MouseButtonRelease:
            return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
        }
    }
};

// The box's whole text as a validator sees it: the routes that insert without a key, input
// method, paste shortcut or drop event (the context menu's paste) are judged here.
class WholeTextRules : public QValidator {
public:
    using QValidator::QValidator;
    std::vector<std::function<bool(const QString&)>> rules;
    State validate(QString& input, int&) const override {
        for (const auto& rule : rules)
            if (!rule(input))
                return Invalid;
        return Acceptable;
    }
};

void addWholeTextRule(QLineEdit* box, std::function<bool(const QString&)> rule) {
    auto* rules = dynamic_cast<WholeTextRules*>(const_cast<QValidator*>(box->validator()));
    if (!rules) {
        rules = new WholeTextRules(box);
        box->setValidator(rules);
    }
    rules->rules.push_back(std::move(rule));
}

bool isNumberCharacter(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-');
}

} // namespace

void installNumberInput(QLineEdit* box) {
    new InsertionGuard(box, [](const QLineEdit*, const QString& inserted, const QString&) {
        return std::all_of(inserted.begin(), inserted.end(), isNumberCharacter);
    });
}

void installPasteBlock(QWidget* widget) {
    new PasteBlock(widget);
}

void limitGbkBytes(QLineEdit* box, int maxBytes) {
    new InsertionGuard(box, [maxBytes](const QLineEdit* b, const QString& inserted, const QString& replaced) {
        if (!canEncodeGbk(inserted))
            return false;
        const qsizetype after = gbkLength(b->text()) - gbkLength(replaced) + gbkLength(inserted);
        return after <= maxBytes;
    });
    addWholeTextRule(box, [maxBytes](const QString& text) {
        return canEncodeGbk(text) && gbkLength(text) <= maxBytes;
    });
}

} // namespace quorvel::input
