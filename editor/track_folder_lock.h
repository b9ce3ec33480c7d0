// One track folder, one editor: a lock file beside the folder in the store
// ("<folder>.lock"), held while an editor has that track open. A lock left by
// an editor that died is taken over, since its process no longer runs.
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Tries to take the lock of trackFolder. Taken when isLocked(); otherwise
// error() is LockFailedError when another editor holds it, and another value
// when the store cannot hold a lock file.
std::unique_ptr<QLockFile> lockTrackFolder(const QString& trackFolder);
