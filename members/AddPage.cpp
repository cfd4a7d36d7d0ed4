#include "members/AddPage.h"

#include "ui_AddPage.h"

namespace quorvel {

AddPage::AddPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::AddPage>()) {
    m_ui->setupUi(this);
}

AddPage::~AddPage() = default;

void AddPage::restartListLoad() {}

void AddPage::endListLoad() {}

} // namespace quorvel
