// Writing "tracks.xml": the root's header elements, the entries below
// "tracks" with their children in the order readers expect, and the document
// as text. Every program that writes a track document writes it through here.
#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QIODevice>
#include <QString>

#include <optional>

namespace trackxml {

// What a new entry holds. Without an interval or a level no such element is
// written (older producers wrote no level for ordinary entries); an empty id
// writes no attribute.
struct EntryFields {
    QString id;
    QString action;
    QString description;
    int ticks = 0;
    std::optional<QString> interval;
    QString picture;
    std::optional<QString> level;
};

// The entry element, children in the order action, description, ticks,
// interval, picture, level. An empty text still gets its (empty) text node.
QDomElement createEntry(QDomDocument& document, const EntryFields& fields);

// A document declared as UTF-8 with the root element (named rootName) holding
// track_name, track_description, teacher_name and an empty tracks, in order.
QDomDocument createDocument(const QString& rootName, const QString& title,
                            const QString& description, const QString& teacher);

// An element holding one text node.
QDomElement textElement(QDomDocument& document, const QString& name, const QString& text);

// Sets the first text of element, creating it when the element has none.
void setText(QDomDocument& document, QDomElement element, const QString& text);

// The entry's first child element of that name, appended when it has none.
QDomElement childElement(QDomDocument& document, QDomElement entry, const QString& name);

// Writes the whole document, indented by 4 spaces a level, in the encoding its
// declaration names (UTF-8 without one). False when the device took less.
bool write(const QDomDocument& document, QIODevice& device);

}  // namespace trackxml
