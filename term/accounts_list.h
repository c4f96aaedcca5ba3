#pragma once

namespace quillet::term {

/// `quillet accounts` (or `accounts list`): one line per account on standard
/// output, in aligned columns: name, user, site, proxy (without its
/// password), signed in or not as the kept session was last seen, the list
/// file's size, the last pass's counts and when, and whether a Quillet uses
/// the account now. Nothing is asked of the site and nothing is written.
/// Returns the exit status (1 when standard output cannot be written).
int listAccounts();

}  // namespace quillet::term
