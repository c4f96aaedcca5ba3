#pragma once

#include <functional>

#include "share/address_import.h"

namespace quillet {

class Dialogs;
class ShareEngine;
class ShareJournal;

/// The engine's refusals and unreadable import files as the window's message
/// boxes (information, with their own titles). `dialogs` must outlive the
/// engine.
void showShareMessages(ShareEngine& engine, Dialogs& dialogs);

/// The journal's problems as warnings titled ShareJournal::messageTitle().
/// `dialogs` must outlive the journal.
void showJournalProblems(ShareJournal& journal, Dialogs& dialogs);

/// The question "失败重发" asks before it replaces a list that holds
/// results, put through `dialogs`: true for Yes.
std::function<bool(int rowsWithResults)> askBeforeResend(Dialogs& dialogs);

/// "导入地址": asks for a file and imports it through the engine (a
/// cancelled dialog imports nothing; the count is shown either way).
ImportResult importThroughDialog(ShareEngine& engine, Dialogs& dialogs);

}  // namespace quillet
