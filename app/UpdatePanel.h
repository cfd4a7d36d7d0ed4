#pragma once
// The update check as the about page's tab "软件升级及其它" shows it, in 按钮_检查更新,
// 标签_当前版本号 and 编辑框_更新说明. The descriptor is fetched on a worker thread; everything the
// operator sees, the question included, happens here on the GUI thread, in the check's order.
//
// 编辑框_更新说明 receives its texts with every "\r\n" as one line break (see boxText): its
// toPlainText() is the appended text with each "\r\n" replaced by "\n".
#include "update/UpdateCheck.h"

#include <QObject>
#include <QString>

namespace quorvel {

class AboutPage;
class FtpClient;

class UpdatePanel : public QObject {
    Q_OBJECT
  public:
    UpdatePanel(FtpClient& ftp, AboutPage& page);
    ~UpdatePanel() override;

    // Runs one check. While one runs a second is refused quietly; returns whether one started.
    bool startCheck();
    // From startCheck() until the check has shown its outcome and deleted the download.
    bool isChecking() const { return m_checking; }
    // The window is closing: ends a running check at once; the page is not touched again.
    void endCheck();

    // text as the notes box holds it: "\r\n" (and a lone "\r") become "\n".
    static QString boxText(const QString& text);

  private:
    void fetched(UpdateCheck::Outcome outcome);
    void compareVersions();
    void appendNotes(const QString& text);
    void appendReleaseNotes(const QString& descriptor);
    void finish();

    AboutPage& m_page;
    UpdateCheck m_fetch;
    bool m_checking = false;
    bool m_ended = false;
};

} // namespace quorvel
