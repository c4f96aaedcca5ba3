#pragma once

#include <QString>

namespace quillet {

class AddressListModel;

/// How many rows of `list` hold a result: a status or a publish time.
int rowsWithResults(const AddressListModel& list);

/// The question before "失败重发" replaces a list that holds results.
QString resendDiscardQuestion(int rowsWithResults);
/// The question before "清空列表" empties a list that holds results.
QString clearDiscardQuestion(int rowsWithResults);

}  // namespace quillet
