#pragma once

#include <QString>

namespace quillet {

class AddressListModel;
class Dialogs;

/// How many rows of `list` hold a result: a status or a publish time.
int rowsWithResults(const AddressListModel& list);

/// The question before "失败重发" replaces a list that holds results.
QString resendDiscardQuestion(int rowsWithResults);
/// The question before "清空列表" empties a list that holds results.
QString clearDiscardQuestion(int rowsWithResults);

/// Asks with `makeQuestion`'s text, titled `title`, before an action that
/// discards the list's results. True when no row holds a result (nothing is
/// asked) or the user answered Yes.
bool mayDiscardResults(Dialogs& dialogs, const AddressListModel& list, const QString& title,
                       QString (*makeQuestion)(int));

}  // namespace quillet
