#include "track_document_guard.h"

#include <QBuffer>
#include <QStringView>
#include <QVector>
#include <QXmlInputSource>

#include <algorithm>

namespace trackdoc {

namespace {

// The characters exactly as the document parser gets them: QDomDocument reads
// a byte array through an input source, which settles the encoding from the
// byte-order mark, the first bytes and the declaration. Reading them any other
// way could let a declared encoding hide markup from this pass.
QString asTheParserReadsIt(const QByteArray& document) {
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QBuffer buffer;
    buffer.setData(document);
    QXmlInputSource source(&buffer);
    QString text;
    text.reserve(document.size());
    for (;;) {
        source.fetchData();
        const QString chunk = source.data();
        if (chunk.isEmpty())
            break;
        text += chunk;
    }
    QT_WARNING_POP
    return text;
}

bool isSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

class Scanner {
public:
    explicit Scanner(const QString& text) : text(text), size(text.size()) {}

    QString run() {
        int at = 0;
        while (at < size) {
            const int lt = text.indexOf(QLatin1Char('<'), at);
            if (lt < 0)
                break;
            at = markup(lt);
            if (at < 0)
                return reason;
        }
        if (!open.isEmpty())
            return malformedAt(size);
        return {};
    }

private:
    // Handles the markup starting at `start` ("<"); returns where scanning
    // goes on, or -1 with `reason` set.
    int markup(int start) {
        if (startsWith(start, "<!--"))
            return past(start + 4, "-->", start);
        if (startsWith(start, "<![CDATA["))
            return past(start + 9, "]]>", start);
        if (startsWith(start, "<?"))
            return past(start + 2, "?>", start);
        if (startsWith(start, "<!DOCTYPE"))
            return documentType(start + 9);
        if (startsWith(start, "</"))
            return endTag(start);
        return startTag(start);
    }

    // The document type itself is harmless; declarations of its own (an
    // internal subset) are refused where they begin, unread.
    int documentType(int at) {
        for (; at < size; ++at) {
            const QChar c = text[at];
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                const int close = text.indexOf(c, at + 1);
                if (close < 0)
                    return fail(malformedAt(size));
                at = close;
            } else if (c == QLatin1Char('[')) {
                return fail(declaresEntities(at + 1)
                                ? QStringLiteral("tracks.xml含有实体声明")
                                : QStringLiteral("tracks.xml含有文档类型定义"));
            } else if (c == QLatin1Char('>')) {
                return at + 1;
            }
        }
        return fail(malformedAt(size));
    }

    // Whether the internal subset starting at `at` holds an entity
    // declaration: a search for its keyword up to the subset's end, skipping
    // literals and comments, which may hold "]" or the keyword as text.
    bool declaresEntities(int at) const {
        static const QString keyword = QStringLiteral("<!ENTITY");
        while (at < size) {
            const QChar c = text[at];
            if (c == QLatin1Char(']'))
                return false;
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                const int close = text.indexOf(c, at + 1);
                at = close < 0 ? size : close + 1;
            } else if (startsWith(at, "<!--")) {
                const int close = text.indexOf(QLatin1String("-->"), at + 4);
                at = close < 0 ? size : close + 3;
            } else if (QStringView(text).mid(at).startsWith(keyword)) {
                return true;
            } else {
                ++at;
            }
        }
        return false;
    }

    int startTag(int start) {
        const int nameEnd = nameEndFrom(start + 1);
        if (nameEnd == start + 1)
            return fail(malformedAt(start));
        for (int at = nameEnd; at < size; ++at) {
            const QChar c = text[at];
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                const int close = text.indexOf(c, at + 1);
                if (close < 0)
                    return fail(malformedAt(size));
                at = close;
            } else if (c == QLatin1Char('>')) {
                if (text[at - 1] == QLatin1Char('/'))
                    return at + 1;
                if (open.size() >= kMaxDepth)
                    return fail(QStringLiteral("tracks.xml嵌套层次过深"));
                open.append(QStringView(text).mid(start + 1, nameEnd - start - 1));
                return at + 1;
            } else if (c == QLatin1Char('<')) {
                return fail(malformedAt(at));
            }
        }
        return fail(malformedAt(size));
    }

    int endTag(int start) {
        const int nameEnd = nameEndFrom(start + 2);
        const QStringView name = QStringView(text).mid(start + 2, nameEnd - start - 2);
        int at = nameEnd;
        while (at < size && isSpace(text[at]))
            ++at;
        if (at >= size || text[at] != QLatin1Char('>') || open.isEmpty() || open.last() != name)
            return fail(malformedAt(qMin(at, size)));
        open.removeLast();
        return at + 1;
    }

    int nameEndFrom(int at) const {
        while (at < size) {
            const QChar c = text[at];
            if (isSpace(c) || c == QLatin1Char('>') || c == QLatin1Char('/') ||
                c == QLatin1Char('<') || c == QLatin1Char('"') || c == QLatin1Char('\''))
                break;
            ++at;
        }
        return at;
    }

    // Just past the first `end` at or after `from`; an unclosed construct is
    // broken markup where it began.
    int past(int from, const char* end, int start) {
        const int found = text.indexOf(QLatin1String(end), from);
        if (found < 0)
            return fail(malformedAt(start));
        return found + int(qstrlen(end));
    }

    bool startsWith(int at, const char* literal) const {
        return QStringView(text).mid(at).startsWith(QLatin1String(literal));
    }

    QString malformedAt(int at) const {
        const int line =
            1 + int(std::count(text.constData(), text.constData() + at, QLatin1Char('\n')));
        return QStringLiteral("tracks.xml格式错误（第%1行）").arg(line);
    }

    int fail(const QString& why) {
        reason = why;
        return -1;
    }

    const QString& text;
    const int size;
    QVector<QStringView> open;
    QString reason;
};

}  // namespace

QString refusalReason(const QByteArray& document) {
    if (document.size() > kMaxBytes)
        return QStringLiteral("tracks.xml过大");
    const QString text = asTheParserReadsIt(document);
    return Scanner(text).run();
}

}  // namespace trackdoc
