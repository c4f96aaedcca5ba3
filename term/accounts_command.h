#pragma once

#include <QString>

#include "term/subcommand.h"

namespace quillet::term {

/// `quillet accounts`: the named accounts. Without an action (or with
/// `list`) a table of every account and its state: user, site, proxy,
/// signed in or not (as the kept session was last seen; the site is not
/// asked), list size, the last pass, and whether a Quillet uses it now.
/// `add NAME`, `set NAME` change its settings; `remove NAME` deletes its
/// settings, session and journal (asks on a terminal; --yes for scripts).
/// Exit 0 done, 2 usage or a refused value, 5 the account is in use.
class AccountsCommand : public Subcommand {
 public:
  static constexpr char kName[] = "accounts";
  static constexpr char kSummary[] = "list, add, set or remove named accounts (--account NAME)";

  int execute(const QStringList& arguments) override;
};

}  // namespace quillet::term
