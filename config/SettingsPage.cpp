#include "config/SettingsPage.h"

#include "ui_SettingsPage.h"

namespace quorvel {

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SettingsPage>()) {
    m_ui->setupUi(this);
}

SettingsPage::~SettingsPage() = default;

} // namespace quorvel
