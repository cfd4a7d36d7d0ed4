#pragma once
// The "关于" page: what the program is, how to use it, updates, and the maker's offers.
#include <QWidget>

#include <memory>

class QNetworkAccessManager;

namespace Ui {
class AboutPage;
}

namespace quorvel {

class FtpClient;
class UpdatePanel;

class AboutPage : public QWidget {
    Q_OBJECT
public:
    explicit AboutPage(QWidget* parent = nullptr);
    ~AboutPage() override;
    Ui::AboutPage& ui() { return *m_ui; }

    // Loads the maker's page into the browser; an unreachable page shows nothing.
    void loadMakerPage();
    static QString makerPageAddress();

    // The update check of the tab "软件升级及其它", run with the program's FTP client.
    UpdatePanel* setUpUpdateCheck(FtpClient& ftp);
    UpdatePanel* updatePanel() const { return m_update; }
    // The window is closing: a running update check ends without touching the page again.
    void endUpdateCheck();

private:
    std::unique_ptr<Ui::AboutPage> m_ui;
    QNetworkAccessManager* m_network = nullptr;
    UpdatePanel* m_update = nullptr;
};

} // namespace quorvel
