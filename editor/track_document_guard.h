// A single linear look at "tracks.xml" before the document parser builds a
// tree of it: the tree parser recurses once per nesting level and expands
// entities without bound, and a stream parser's own checks (attribute
// defaults, duplicate attributes, namespace lookups) grow with the square of
// what a small hostile package can declare. This pass only follows the
// markup: it costs one step per byte whatever the document holds.
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
// deeper than kMaxDepth, with a document type that has declarations of its
// own (an internal subset: refused where it starts, nothing of it is read), or
// whose markup is broken (unclosed, or end tags that do not match). Whatever
// else makes a document malformed is left to the document parser.
QString refusalReason(const QByteArray& document);

}  // namespace trackdoc
