#pragma once

#include <QDateTime>
#include <QString>

namespace quillet {

/// What the kept browser session was last seen to be: signed in (and as
/// whom) or not, and when. A sign-in and every look at the start page write
/// it beside the session, so a list of accounts can tell without asking
/// the site.
struct SessionNote {
  bool known = false;  // nothing was ever seen in this folder
  bool signedIn = false;
  QString user;
  QDateTime at;
};

/// The note's file name in the state folder.
inline constexpr char kSessionNoteFile[] = "session-state";

/// Records what the session of this process's browser was seen to be, in the
/// folder that keeps it (keptSessionFolder()); nothing when no folder keeps
/// the session. An empty `user` keeps the one noted before.
void noteSession(bool signedIn, const QString& user = {});

/// The note in `stateDir`; `known` is false when there is none.
SessionNote readSessionNote(const QString& stateDir);

}  // namespace quillet
