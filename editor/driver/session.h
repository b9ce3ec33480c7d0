// Drives the real editor from C++, for the end-to-end tests, the demo's
// renderer and the benchmark: one host with its main window, the QML items by
// object name, the track list, pointer clicks and typing, grabbed pixels.
#pragma once

#include <qplayerhost.h>

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRectF>
#include <QScreen>
#include <QString>
#include <QVariant>
#include <QVector>

struct Entry {
    QString id;
    QString sample;
    int tick = 0;
    QString description;
    QString level;
};

// A time line mark as the time line draws it.
struct Mark {
    QQuickWindow* window = nullptr;
    int index = -1;
    int time = 0;
    int level = -1;
    QString description;
    // The mark's square in window coordinates.
    QRectF rect;
    QColor color;
    qreal z = 0;
    bool hovered = false;
};

// The marks of a TimeLine item.
QVector<Mark> marksOf(QQuickItem* timeLine);
int markCountOf(QQuickItem* timeLine);

class Session {
public:
    // A new host, which creates and shows the main window.
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    QPlayerHost* host = nullptr;
    QQuickWindow* window = nullptr;

    QQuickItem* item(const char* name) const;
    QObject* object(const char* name) const;
    QVariant call(const char* function, const QVariantList& arguments = {}) const;
    QVariant property(const char* name) const;

    // Opens the package through the window's openTrack and waits for the load.
    bool open(const QString& package);
    QVector<Entry> entries() const;
    int selection() const;
    int currentMark() const;
    // The main window's time line marks, and their number (cheap for long tracks).
    QVector<Mark> marks() const;
    int markCount() const;
    // The grid cell of the entry at position, scrolled into view.
    QQuickItem* cell(int position) const;
    QQuickItem* cellPart(int position, const char* name) const;

    void clickCell(int position) const;
    // Waits until every visible cell's picture has finished loading.
    bool waitForPictures(int timeoutMs = 10000) const;

    // The loaded preview player, or null.
    QQuickWindow* player() const;
    QQuickItem* playerItem(const char* name) const;
};

// Mouse click on the item (at a point in item coordinates, default centre),
// delivered to the item's window.
void click(QQuickItem* item, QPointF at = QPointF(-1, -1));
void click(const Mark& mark);
void selectAllAndType(QQuickWindow* window, const QString& text);
void typeText(QQuickWindow* window, const QString& text);
QPointF centreInWindow(QQuickItem* item);
QPointF centreInWindow(const Mark& mark);
// Colour of the window's pixel at a point in window coordinates of a grab.
QColor pixel(const QImage& grab, QQuickWindow* window, QPointF at);
bool near(const QColor& colour, const char* expected, int tolerance = 12);

// Items below root (by visual parent) with the object name; finds view
// delegates, which are not object children of the window.
QList<QQuickItem*> findItems(QQuickItem* root, const QString& name);
