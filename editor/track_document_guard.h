// A streaming look at "tracks.xml" before the document parser builds a tree of
// it: the tree parser recurses once per nesting level and expands entities
// without bound, so a small hostile package could exhaust the stack or memory.
#pragma once

#include <QByteArray>
#include <QString>

namespace trackdoc {

// Far beyond any track (about 80,000 entries), far below what the tree costs.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
// A track is four levels deep; the tree parser's recursion stays small.
constexpr int kMaxDepth = 256;

// Empty when the document may be parsed; otherwise the reason, short and in
// Chinese, for the window. Refuses documents larger than kMaxBytes, nested
// deeper than kMaxDepth, declaring entities, or not well-formed.
QString refusalReason(const QByteArray& document);

}  // namespace trackdoc
