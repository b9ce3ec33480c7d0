// The reason a failed save gives the teacher, after "保存失败：": what the
// teacher can act on (a read-only package, no permission, a full disk) in
// plain words, anything else with the system's own message.
#pragma once

#include <packwell.h>

#include <QString>

// what: what could not be written, for the failures without words of their own.
QString saveFailureReason(PackwellFailure kind, const QString& what, const QString& systemMessage);
