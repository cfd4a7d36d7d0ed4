#pragma once
// The "刷卡记录" page: card swipes and member queries.
#include <QWidget>

#include <memory>

namespace Ui {
class SwipePage;
}

namespace quorvel {

class SwipePage : public QWidget {
    Q_OBJECT
public:
    explicit SwipePage(QWidget* parent = nullptr);
    ~SwipePage() override;
    Ui::SwipePage& ui() { return *m_ui; }

private:
    std::unique_ptr<Ui::SwipePage> m_ui;
};

} // namespace quorvel
