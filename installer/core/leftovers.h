// What earlier runs left in the installation folder: files moved aside while in use (their
// name followed by a braced GUID, beside the file that took their place) and scratch files a
// kill left behind (names ending in ".ferrylift-new", which no package entry may have).
#pragma once

#include <string>

namespace Update {

// True for "x.dll{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" style names (upper-case hex); *base
// gets the name without the GUID.
bool IsMovedAsideName(const std::string& name, std::string* base);

// Removes the leftovers below root that nothing uses any more; one that is still in use stays
// (Windows refuses to delete it) for a later run or the restart. Each attempt is logged.
void RemoveLeftoversBelow(const std::string& root);

// RemoveLeftoversBelow(GetDestinationRoot()), when there is a root.
void RemoveLeftovers();

}  // namespace Update
