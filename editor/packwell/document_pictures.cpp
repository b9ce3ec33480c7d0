#include "document_pictures.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QTextCodec>

namespace packwell {

namespace {

QTextCodec* DeclaredCodec(const QByteArray& xml) {
    if (QTextCodec* byBom = QTextCodec::codecForUtfText(xml, nullptr))
        return byBom;
    const int end = xml.indexOf("?>");
    if (xml.startsWith("<?xml") && end > 0) {
        static const QRegularExpression encoding(
            QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"));
        const QRegularExpressionMatch match = encoding.match(QString::fromLatin1(xml.left(end)));
        if (match.hasMatch()) {
            if (QTextCodec* codec = QTextCodec::codecForName(match.captured(1).toLatin1()))
                return codec;
        }
    }
    return QTextCodec::codecForName("UTF-8");
}

// Character data with the predefined and numeric references resolved and
// CDATA sections unwrapped.
QString Unescaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size();) {
        if (text.midRef(i, 9) == QLatin1String("<![CDATA[")) {
            const int end = text.indexOf(QLatin1String("]]>"), i + 9);
            const int stop = end < 0 ? text.size() : end;
            out += text.midRef(i + 9, stop - i - 9);
            i = end < 0 ? stop : end + 3;
            continue;
        }
        const int semicolon = text.at(i) == QLatin1Char('&') ? text.indexOf(';', i) : -1;
        if (semicolon < 0 || semicolon - i > 10) {
            out += text.at(i++);
            continue;
        }
        const QStringRef name = text.midRef(i + 1, semicolon - i - 1);
        static const char* const names[] = {"lt", "gt", "amp", "quot", "apos"};
        static const char values[] = {'<', '>', '&', '"', '\''};
        bool done = false;
        for (int k = 0; k < 5 && !done; ++k) {
            if (name == QLatin1String(names[k])) {
                out += QLatin1Char(values[k]);
                done = true;
            }
        }
        if (!done && name.startsWith('#')) {
            bool ok = false;
            const uint code = name.startsWith(QLatin1String("#x")) ? name.mid(2).toUInt(&ok, 16)
                                                                   : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t character = code;
                out += QString::fromUcs4(&character, 1);
                done = true;
            }
        }
        if (!done)
            out += text.midRef(i, semicolon - i + 1);
        i = semicolon + 1;
    }
    return out;
}

}  // namespace

std::vector<std::string> DocumentPictureNames(const std::string& xml) {
    std::vector<std::string> names;
    if (xml.empty())
        return names;
    const QByteArray bytes = QByteArray::fromRawData(xml.data(), static_cast<int>(xml.size()));
    const QString text = DeclaredCodec(bytes)->toUnicode(bytes);
    const QLatin1String open("<picture"), close("</picture");
    for (int at = text.indexOf(open); at >= 0; at = text.indexOf(open, at)) {
        at += open.size();
        // "<picture>" or "<picture attr=...>", not "<pictures>".
        if (at >= text.size() || !(text.at(at) == QLatin1Char('>') || text.at(at).isSpace()))
            continue;
        const int tagEnd = text.indexOf(QLatin1Char('>'), at);
        if (tagEnd < 0)
            break;
        if (text.at(tagEnd - 1) == QLatin1Char('/')) {
            at = tagEnd;
            continue;  // <picture/>: no name
        }
        const int end = text.indexOf(close, tagEnd);
        if (end < 0)
            break;
        names.push_back(Unescaped(text.mid(tagEnd + 1, end - tagEnd - 1)).toUtf8().toStdString());
        at = end;
    }
    return names;
}

}  // namespace packwell
