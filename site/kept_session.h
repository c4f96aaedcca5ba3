#pragma once

#include <QString>

namespace quillet {

/// The state folder that keeps this process's browser session (its cookies
/// and site storage, and the note of what the session was last seen to be);
/// empty while none does. Set once at start, before the first page loads.
QString keptSessionFolder();

/// Names the folder that keeps the session (the browser sets it when it is
/// told where to keep its profile).
void setKeptSessionFolder(const QString& stateDir);

}  // namespace quillet
