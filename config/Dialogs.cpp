#include "config/Dialogs.h"

#include "config/ColourPicker.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

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
    // On the heap and guarded: closing the parent while the box is open deletes the box with it.
    QPointer<QMessageBox> box = new QMessageBox(qtIcon(icon), kCaption, text, buttons, parent);
    box->setObjectName(QStringLiteral("QuorvelMessageBox"));
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (buttons & QMessageBox::Ok)
        box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (buttons & QMessageBox::Cancel)
        box->button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box->setDefaultButton(QMessageBox::Ok);
    const int result = box->exec();
    if (!box)
        return QMessageBox::Cancel;
    delete box.data();
    return result;
}

PlatformDialogs& realDialogs() {
    static PlatformDialogs dialogs;
    return dialogs;
}

PlatformDialogs*& installed() {
    static PlatformDialogs* current = nullptr;
    return current;
}

MessageHook& messageHook() {
    static MessageHook hook;
    return hook;
}

} // namespace

void setMessageHookForTesting(MessageHook hook) {
    messageHook() = std::move(hook);
}

void showMessage(QWidget* parent, const QString& text, MessageIcon icon) {
    if (messageHook()) {
        messageHook()(parent, text, icon, false);
        return;
    }
    runBox(parent, text, icon, QMessageBox::Ok);
}

bool askOkCancel(QWidget* parent, const QString& text, MessageIcon icon) {
    if (messageHook())
        return messageHook()(parent, text, icon, true);
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
    // The toolkit's font dialog has no colour, so it is embedded next to a colour picker.
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("QuorvelFontDialog"));
    dialog.setWindowTitle(QStringLiteral("字体"));
    auto* layout = new QVBoxLayout(&dialog);

    auto* fonts = new QFontDialog(&dialog);
    fonts->setObjectName(QStringLiteral("字体选择"));
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts->setWindowFlags(Qt::Widget);
    QFont start = initial.family.isEmpty() ? dialog.font() : QFont(initial.family);
    if (initial.pointSize > 0)
        start.setPointSize(initial.pointSize);
    start.setBold(initial.bold);
    fonts->setCurrentFont(start);
    fonts->setVisible(true);
    layout->addWidget(fonts);

    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(new QLabel(QStringLiteral("颜色："), &dialog));
    auto* colour = new ColourPicker(&dialog);
    colour->setObjectName(QStringLiteral("字体颜色"));
    colour->setColour(initial.colour);
    colour->setFixedWidth(60);
    colourRow->addWidget(colour);
    colourRow->addStretch();
    layout->addLayout(colourRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // Enter and Escape inside the embedded chooser end the whole dialog.
    QObject::connect(fonts, &QDialog::accepted, &dialog, &QDialog::accept);
    QObject::connect(fonts, &QDialog::rejected, &dialog, &QDialog::reject);

    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QFont f = fonts->currentFont();
    chosen->family = f.family();
    chosen->pointSize = f.pointSize() > 0 ? f.pointSize() : 0;
    chosen->bold = f.bold();
    chosen->colour = colour->colour();
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

bool PlatformDialogs::chooseSaveFile(QWidget* parent, const QString& title, const QString& proposed,
                                     const QString& filter, QString* chosen) {
    const QString path = QFileDialog::getSaveFileName(parent, title, proposed, filter);
    if (path.isEmpty())
        return false;
    *chosen = path;
    return true;
}

bool PlatformDialogs::chooseFolder(QWidget* parent, const QString& title, const QString& folder,
                                   QString* chosen) {
    const QString path = QFileDialog::getExistingDirectory(parent, title, folder);
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
