#pragma once
// "消费明细": the history of the members' money, visits and points, filtered by card number,
// days and kind, newest first; the takings of the chosen days per operator; what the shop owes
// its members now; and the exports of the history shown and of the member list.
#include "members/History.h"

#include <QDialog>

#include <memory>

namespace Ui {
class HistoryWindow;
}

namespace quorvel {

class HistoryModel;

class HistoryWindow : public QDialog {
    Q_OBJECT
  public:
    // card: the card number the list starts filtered by (empty: every member).
    explicit HistoryWindow(const QString& card, QWidget* parent = nullptr);
    ~HistoryWindow() override;
    Ui::HistoryWindow& ui() { return *m_ui; }
    HistoryModel& entries() { return *m_model; }

    // The filter the boxes describe.
    members::history::Filter filter() const;
    // 按钮_明细查询, Enter in the card box: the list shows the entries of the filter. False, with
    // the message shown, when the history cannot be read.
    bool runQuery();
    // 按钮_日结统计: the totals of the days from 日期框_开始 to 日期框_结束, and the liability now.
    void showTotals();
    // 按钮_导出明细 and 按钮_导出会员.
    void exportHistory();
    void exportMembers();

    // Columns of 列表_日结.
    static QStringList totalsHeaders();
    static QStringList totalsCells(const QString& who, const members::history::Totals& totals);

  private:
    std::unique_ptr<Ui::HistoryWindow> m_ui;
    HistoryModel* m_model = nullptr;
};

} // namespace quorvel
