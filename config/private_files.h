#pragma once

#include <QString>

namespace quillet {

/// Everything Quillet keeps (the data, config and state folders, the
/// remembered account, the captcha picture, the journal, the browser's
/// session) is the user's alone: from this call on, the process creates
/// folders 0700 and files 0600 whatever the umask says. Call once, first
/// thing in main(), before any thread exists (the umask is process-wide).
void keepNewFilesPrivate();

/// Gives a file the user chose to write (a results file) the permissions the
/// user's own umask gives new files, as any other program's output would get.
void applyUserUmask(const QString& path);

}  // namespace quillet
