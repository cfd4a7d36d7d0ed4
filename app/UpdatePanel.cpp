#include "app/UpdatePanel.h"

#include "app/AboutPage.h"
#include "config/ConfigFile.h"
#include "config/Dialogs.h"
#include "config/RunDirectory.h"
#include "ui_AboutPage.h"

#include <QFile>
#include <QPointer>
#include <QTextCursor>

namespace quorvel {

namespace {

const QString kFailed = QStringLiteral("刷新失败");
const QString kNewer = QStringLiteral("发现新版本，主要更新如下：");
const QString kNotNewer = QStringLiteral("没有发现新版本，上次主要更新如下：");
const QString kQuestion = QStringLiteral("有新版本 需要更新");

QString descriptorValue(const QString& file, const QString& key) {
    return readProfileString(file, kDescriptorSection, key, QString());
}

} // namespace

UpdatePanel::UpdatePanel(FtpClient& ftp, AboutPage& page) : QObject(&page), m_page(page), m_fetch(ftp) {
    // The version comes from the server: shown as text, never as markup.
    m_page.ui().标签_当前版本号->setTextFormat(Qt::PlainText);
}

UpdatePanel::~UpdatePanel() {
    m_fetch.cancel();
}

QString UpdatePanel::boxText(const QString& text) {
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

bool UpdatePanel::startCheck() {
    if (m_checking)
        return false;
    m_checking = true;
    m_ended = false;
    m_page.ui().按钮_检查更新->setEnabled(false);
    const bool started = m_fetch.start(UpdateServer::configured(), runPath(kDownloadedDescriptorName),
                                       [this](UpdateCheck::Outcome outcome) { fetched(outcome); });
    if (!started)
        finish();
    return started;
}

void UpdatePanel::endCheck() {
    m_ended = true;
    if (m_fetch.isRunning()) {
        m_fetch.cancel();
        m_checking = false;
    }
}

void UpdatePanel::fetched(UpdateCheck::Outcome outcome) {
    switch (outcome) {
    case UpdateCheck::Outcome::NotPublished:
        finish();
        return;
    case UpdateCheck::Outcome::DownloadFailed:
        m_page.ui().标签_当前版本号->setText(kFailed);
        finish();
        return;
    case UpdateCheck::Outcome::Downloaded:
        compareVersions();
        return;
    }
}

void UpdatePanel::compareVersions() {
    auto& ui = m_page.ui();
    const QString downloaded = runPath(kDownloadedDescriptorName);
    const QString accepted = runPath(kAcceptedDescriptorName);
    ui.编辑框_更新说明->clear();
    const QString offered = descriptorValue(downloaded, kDescriptorVersionKey);
    const QString current = descriptorValue(accepted, kDescriptorVersionKey);
    if (isNewerVersion(offered, current)) {
        appendNotes(kNewer);
        appendReleaseNotes(downloaded);
        QPointer<UpdatePanel> self(this);
        const bool accept = askOkCancel(&m_page, kQuestion, MessageIcon::Question);
        if (!self) {
            QFile::remove(downloaded);
            return;
        }
        if (m_ended) {
            // The window closed while the question was open.
            QFile::remove(downloaded);
            m_checking = false;
            return;
        }
        if (accept) {
            ui.标签_当前版本号->setText(offered);
            // A missing folder "图片" makes this fail: the next check offers the version again.
            replaceFile(downloaded, accepted);
        }
    } else {
        appendNotes(kNotNewer);
        appendReleaseNotes(downloaded);
    }
    ui.按钮_检查更新->setEnabled(true);
    QFile::remove(downloaded); // already moved after an accepted update
    m_checking = false;
}

void UpdatePanel::appendNotes(const QString& text) {
    QTextCursor cursor(m_page.ui().编辑框_更新说明->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(boxText(text));
}

void UpdatePanel::appendReleaseNotes(const QString& descriptor) {
    // Each value is read when its piece is appended.
    appendNotes(QStringLiteral("\r\n\r\n版本号：") + descriptorValue(descriptor, kDescriptorVersionKey));
    appendNotes(QStringLiteral("\r\n\r\n更新时间：") + descriptorValue(descriptor, kDescriptorDateKey));
    appendNotes(QStringLiteral("\r\n\r\n") + descriptorValue(descriptor, kDescriptorNotesKey));
    appendNotes(QStringLiteral("\r\n\r\n下载地址：") + descriptorValue(descriptor, kDescriptorAddressKey));
}

void UpdatePanel::finish() {
    m_page.ui().按钮_检查更新->setEnabled(true);
    m_checking = false;
}

} // namespace quorvel
