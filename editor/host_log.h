// The host's traces: "reelwright.host", whose debug lines (each operation's
// steps, and a save's document before and after the merge) are off unless
// QT_LOGGING_RULES switches them on, e.g. "reelwright.host.debug=true".
// Warnings of the category show as Qt's warnings do.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcHost)
