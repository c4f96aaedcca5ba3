#pragma once

#include <QString>
#include <functional>

namespace quillet {

class AddressListModel;

/// How many rows of `list` hold a result: a status or a publish time.
int rowsWithResults(const AddressListModel& list);

/// Whether an action may discard the results `list` holds: true when no row
/// holds one (nothing is asked), else what `ask` answers for their number.
/// Without anyone to ask (an empty `ask`) nothing is given up.
bool mayDiscardResults(const AddressListModel& list,
                       const std::function<bool(int rowsWithResults)>& ask);

/// The question before "失败重发" replaces a list that holds results.
QString resendDiscardQuestion(int rowsWithResults);
/// The question before "清空列表" empties a list that holds results.
QString clearDiscardQuestion(int rowsWithResults);

}  // namespace quillet
