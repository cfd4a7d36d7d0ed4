#include "config/Dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

namespace quorvel {

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

const QString kCaption = QStringLiteral("Quorvel");

int runBox(QWidget* parent, const QString& text, MessageIcon icon, QMessageBox::StandardButtons buttons) {
    QMessageBox box(qtIcon(icon), kCaption, text, buttons, parent);
    box.setObjectName(QStringLiteral("QuorvelMessageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (buttons & QMessageBox::Ok)
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (buttons & QMessageBox::Cancel)
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec();
}

PlatformDialogs& realDialogs() {
    static PlatformDialogs dialogs;
    return dialogs;
}

PlatformDialogs*& installed() {
    static PlatformDialogs* current = nullptr;
    return current;
}

} // namespace

void showMessage(QWidget* parent, const QString& text, MessageIcon icon) {
    runBox(parent, text, icon, QMessageBox::Ok);
}

bool askOkCancel(QWidget* parent, const QString& text, MessageIcon icon) {
    return runBox(parent, text, icon, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool PlatformDialogs::chooseColour(QWidget* parent, const QColor& initial, QColor* chosen) {
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid())
        return false;
    *chosen = c;
    return true;
}

bool PlatformDialogs::chooseFont(QWidget* parent, const FontChoice& initial, FontChoice* chosen) {
    bool ok = false;
    QFont start(initial.family);
    if (initial.pointSize > 0)
        start.setPointSize(initial.pointSize);
    start.setBold(initial.bold);
    const QFont f = QFontDialog::getFont(&ok, start, parent);
    if (!ok)
        return false;
    chosen->family = f.family();
    chosen->pointSize = f.pointSize() > 0 ? f.pointSize() : 0;
    chosen->bold = f.bold();
    // The font dialog of this toolkit has no colour: the colour stays as it was.
    chosen->colour = initial.colour;
    return true;
}

bool PlatformDialogs::chooseOpenFile(QWidget* parent, const QString& title, const QString& folder,
                                     const QString& filter, QString* chosen) {
    const QString path = QFileDialog::getOpenFileName(parent, title, folder, filter);
    if (path.isEmpty())
        return false;
    *chosen = path;
    return true;
}

PlatformDialogs& platformDialogs() {
    PlatformDialogs* p = installed();
    return p ? *p : realDialogs();
}

void setPlatformDialogs(PlatformDialogs* dialogs) {
    installed() = dialogs;
}

} // namespace quorvel
