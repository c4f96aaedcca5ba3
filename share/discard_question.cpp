#include "share/discard_question.h"

#include "share/address_list_model.h"

namespace quillet {

int rowsWithResults(const AddressListModel& list) {
  int count = 0;
  for (int row = 0; row < list.rowCountInt(); ++row) {
    if (!list.cell(row, AddressListModel::StatusColumn).isEmpty() ||
        !list.cell(row, AddressListModel::PublishTimeColumn).isEmpty()) {
      ++count;
    }
  }
  return count;
}

QString resendDiscardQuestion(int rows) {
  return QStringLiteral(
             "列表中有%1行分享结果。失败重发会用失败的地址替换整个列表，这些结果将不再显示"
             "（可先用“导出结果…”保存）。继续吗？")
      .arg(rows);
}

QString clearDiscardQuestion(int rows) {
  return QStringLiteral(
             "列表中有%1行分享结果。清空列表会把它们连同地址一起删除"
             "（可先用“导出结果…”保存）。继续吗？")
      .arg(rows);
}

bool mayDiscardResults(const AddressListModel& list,
                       const std::function<bool(int rowsWithResults)>& ask) {
  const int rows = rowsWithResults(list);
  return rows == 0 || (ask && ask(rows));
}

}  // namespace quillet
