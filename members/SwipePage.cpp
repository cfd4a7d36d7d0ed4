#include "members/SwipePage.h"

#include "ui_SwipePage.h"

namespace quorvel {

SwipePage::SwipePage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SwipePage>()) {
    m_ui->setupUi(this);
}

SwipePage::~SwipePage() = default;

} // namespace quorvel
