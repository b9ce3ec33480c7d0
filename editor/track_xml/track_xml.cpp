#include "track_xml.h"

#include <QTextCodec>
#include <QTextStream>

namespace trackxml {

QDomElement textElement(QDomDocument& document, const QString& name, const QString& text) {
    QDomElement element = document.createElement(name);
    element.appendChild(document.createTextNode(text));
    return element;
}

QDomElement createEntry(QDomDocument& document, const EntryFields& fields) {
    QDomElement entry = document.createElement(QStringLiteral("track"));
    if (!fields.id.isEmpty())
        entry.setAttribute(QStringLiteral("id"), fields.id);
    entry.appendChild(textElement(document, QStringLiteral("action"), fields.action));
    entry.appendChild(textElement(document, QStringLiteral("description"), fields.description));
    entry.appendChild(
        textElement(document, QStringLiteral("ticks"), QString::number(fields.ticks)));
    if (fields.interval)
        entry.appendChild(textElement(document, QStringLiteral("interval"), *fields.interval));
    entry.appendChild(textElement(document, QStringLiteral("picture"), fields.picture));
    if (fields.level)
        entry.appendChild(textElement(document, QStringLiteral("level"), *fields.level));
    return entry;
}

QDomDocument createDocument(const QString& rootName, const QString& title,
                            const QString& description, const QString& teacher) {
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = document.createElement(rootName);
    document.appendChild(root);
    root.appendChild(textElement(document, QStringLiteral("track_name"), title));
    root.appendChild(textElement(document, QStringLiteral("track_description"), description));
    root.appendChild(textElement(document, QStringLiteral("teacher_name"), teacher));
    root.appendChild(document.createElement(QStringLiteral("tracks")));
    return document;
}

void setText(QDomDocument& document, QDomElement element, const QString& text) {
    if (element.isNull())
        return;
    if (element.firstChild().isNull())
        element.appendChild(document.createTextNode(text));
    else
        element.firstChild().setNodeValue(text);
}

QDomElement childElement(QDomDocument& document, QDomElement entry, const QString& name) {
    QDomElement element = entry.firstChildElement(name);
    if (element.isNull() && !entry.isNull())
        element = entry.appendChild(document.createElement(name)).toElement();
    return element;
}

bool write(const QDomDocument& document, QIODevice& device) {
    QTextStream stream(&device);
    // Without an encoding in the declaration the document is written as UTF-8;
    // with one, save() switches the stream to it.
    stream.setCodec(QTextCodec::codecForName("UTF-8"));
    document.save(stream, 4, QDomNode::EncodingFromDocument);
    stream.flush();
    return stream.status() == QTextStream::Ok;
}

}  // namespace trackxml
