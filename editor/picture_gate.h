// Pictures that are still being unpacked: a long track's window is filled
// before its pictures are all in the store, and the picture provider waits
// here for one that is not there yet instead of showing nothing for good.
#pragma once

#include <QString>

namespace picturegate {

// The pictures below folder are being unpacked (calls nest per folder).
void arriving(const QString& folder);
// That unpack is over, done or failed.
void arrived(const QString& folder);
// Returns once path exists or no unpack below a folder of it runs.
void waitFor(const QString& path);

}  // namespace picturegate
