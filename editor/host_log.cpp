#include "host_log.h"

// Debug lines off by default: a save of a large track would otherwise write
// its document to stderr twice.
Q_LOGGING_CATEGORY(lcHost, "reelwright.host", QtInfoMsg)
