#pragma once
// Every message box and platform dialog goes through here, so behaviour stays uniform and tests
// can answer the dialogs without a person.
#include <QColor>
#include <QFont>
#include <QString>
#include <functional>

class QWidget;

namespace quorvel {

enum class MessageIcon { None, Question, Error, Information, Warning };

// A modal QMessageBox with only an OK button.
void showMessage(QWidget* parent, const QString& text, MessageIcon icon = MessageIcon::None);
// A modal QMessageBox with OK and Cancel; true when OK was chosen.
bool askOkCancel(QWidget* parent, const QString& text, MessageIcon icon);

// Answers both of the above instead of a box (true = OK), for the benchmark and tests that
// time or drive an operation without a person; an empty function restores the real boxes.
using MessageHook = std::function<bool(QWidget* parent, const QString& text, MessageIcon icon, bool okCancel)>;
void setMessageHookForTesting(MessageHook hook);

// Colour, font and file choosers. Each returns false when the operator cancels.
// The font chooser carries a text colour too; a cancelled chooser leaves *chosen untouched.
struct FontChoice {
    QString family;
    int pointSize = 0;
    QColor colour = QColor(0, 0, 0);
    bool bold = false;
    bool operator==(const FontChoice&) const = default;
};

class PlatformDialogs {
public:
    virtual ~PlatformDialogs() = default;
    virtual bool chooseColour(QWidget* parent, const QColor& initial, QColor* chosen);
    virtual bool chooseFont(QWidget* parent, const FontChoice& initial, FontChoice* chosen);
    virtual bool chooseOpenFile(QWidget* parent, const QString& title, const QString& folder,
                                const QString& filter, QString* chosen);
    // proposed: the file name (with its folder) offered at first.
    virtual bool chooseSaveFile(QWidget* parent, const QString& title, const QString& proposed,
                                const QString& filter, QString* chosen);
    virtual bool chooseFolder(QWidget* parent, const QString& title, const QString& folder, QString* chosen);
};

// The dialogs in use; tests install their own answering implementation.
PlatformDialogs& platformDialogs();
void setPlatformDialogs(PlatformDialogs* dialogs); // nullptr restores the real ones

} // namespace quorvel
