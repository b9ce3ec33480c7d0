#include "session.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJSValue>
#include <QMetaObject>
#include <QQmlProperty>
#include <QTest>
#include <QUrl>
#include <QVariantMap>

Session::Session() {
    host = new QPlayerHost(nullptr);
    window = qobject_cast<QQuickWindow*>(host->userInterface());
    if (!window)
        return;
    if (!QTest::qWaitForWindowExposed(window))
        qWarning() << "Session: main window not exposed";
    window->requestActivate();
    if (!QTest::qWaitForWindowActive(window))
        qWarning() << "Session: main window not active";
}

Session::~Session() {
    delete window;
    delete host;
    QCoreApplication::processEvents();
}

QObject* Session::object(const char* name) const {
    return window ? window->findChild<QObject*>(QString::fromLatin1(name)) : nullptr;
}

QQuickItem* Session::item(const char* name) const {
    return qobject_cast<QQuickItem*>(object(name));
}

QVariant Session::call(const char* function, const QVariantList& a) const {
    QVariant result;
    QVariant v[5];
    for (int i = 0; i < a.size() && i < 5; ++i)
        v[i] = a[i];
    bool ok = false;
    switch (a.size()) {
        case 0:
            ok = QMetaObject::invokeMethod(window, function, Q_RETURN_ARG(QVariant, result));
            break;
        case 1:
            ok = QMetaObject::invokeMethod(window, function, Q_RETURN_ARG(QVariant, result),
                                           Q_ARG(QVariant, v[0]));
            break;
        case 2:
            ok = QMetaObject::invokeMethod(window, function, Q_RETURN_ARG(QVariant, result),
                                           Q_ARG(QVariant, v[0]), Q_ARG(QVariant, v[1]));
            break;
        case 3:
            ok = QMetaObject::invokeMethod(window, function, Q_RETURN_ARG(QVariant, result),
                                           Q_ARG(QVariant, v[0]), Q_ARG(QVariant, v[1]),
                                           Q_ARG(QVariant, v[2]));
            break;
        case 5:
            ok = QMetaObject::invokeMethod(window, function, Q_RETURN_ARG(QVariant, result),
                                           Q_ARG(QVariant, v[0]), Q_ARG(QVariant, v[1]),
                                           Q_ARG(QVariant, v[2]), Q_ARG(QVariant, v[3]),
                                           Q_ARG(QVariant, v[4]));
            break;
        default:
            break;
    }
    if (!ok)
        qWarning() << "Session::call" << function << "failed";
    if (result.userType() == qMetaTypeId<QJSValue>())
        return result.value<QJSValue>().toVariant();
    return result;
}

QVariant Session::property(const char* name) const {
    return QQmlProperty::read(window, QString::fromLatin1(name));
}

bool Session::open(const QString& package) {
    call("openTrack", {QUrl::fromLocalFile(package)});
    // The host reads the package while the window goes on drawing.
    host->waitForLoad();
    return !entries().isEmpty();
}

QVector<Entry> Session::entries() const {
    QVector<Entry> list;
    auto* model = qobject_cast<QAbstractItemModel*>(property("trackModel").value<QObject*>());
    if (!model)
        return list;
    const QHash<int, QByteArray> names = model->roleNames();
    auto role = [&](const char* name) { return names.key(name, -1); };
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        Entry e;
        e.id = model->data(index, role("id")).toString();
        e.sample = model->data(index, role("sample")).toString();
        e.tick = model->data(index, role("timeTick")).toInt();
        e.description = model->data(index, role("description")).toString();
        e.level = model->data(index, role("level")).toString();
        list.append(e);
    }
    return list;
}

int Session::selection() const {
    return item("trackViewer")->property("currentIndex").toInt();
}

int Session::currentMark() const {
    return item("timeLine")->property("currentIndex").toInt();
}

QVector<Mark> Session::marks() const {
    return marksOf(item("timeLine"));
}

int Session::markCount() const {
    return markCountOf(item("timeLine"));
}

int markCountOf(QQuickItem* timeLine) {
    const QJSValue marks =
        QQmlProperty::read(timeLine, QStringLiteral("tickMarks")).value<QJSValue>();
    return marks.property(QStringLiteral("length")).toInt();
}

QVector<Mark> marksOf(QQuickItem* timeLine) {
    QVector<Mark> list;
    const int count = markCountOf(timeLine);
    for (int k = 0; k < count; ++k) {
        QVariant value;
        QMetaObject::invokeMethod(timeLine, "mark", Q_RETURN_ARG(QVariant, value),
                                  Q_ARG(QVariant, k));
        const QVariantMap fields = value.value<QJSValue>().toVariant().toMap();
        Mark mark;
        mark.window = timeLine->window();
        mark.index = fields.value("index").toInt();
        mark.time = fields.value("time").toInt();
        mark.level = fields.value("level").toInt();
        mark.description = fields.value("description").toString();
        mark.rect = QRectF(
            timeLine->mapToScene(QPointF(fields.value("x").toReal(), fields.value("y").toReal())),
            QSizeF(fields.value("width").toReal(), fields.value("height").toReal()));
        mark.color = QColor(fields.value("color").toString());
        mark.z = fields.value("z").toReal();
        mark.hovered = fields.value("hovered").toBool();
        list.append(mark);
    }
    return list;
}

QQuickItem* Session::cell(int position) const {
    QQuickItem* grid = item("trackViewer");
    QMetaObject::invokeMethod(grid, "positionViewAtIndex", Q_ARG(int, position), Q_ARG(int, 1));
    QQuickItem* found = nullptr;
    QMetaObject::invokeMethod(grid, "itemAtIndex", Q_RETURN_ARG(QQuickItem*, found),
                              Q_ARG(int, position));
    return found;
}

QQuickItem* Session::cellPart(int position, const char* name) const {
    QQuickItem* c = cell(position);
    return c ? c->findChild<QQuickItem*>(QString::fromLatin1(name)) : nullptr;
}

void Session::clickCell(int position) const {
    // The cell's own pointer area shows above the picture frame.
    click(cell(position), QPointF(127, 12));
}

bool Session::waitForPictures(int timeoutMs) const {
    QElapsedTimer timer;
    timer.start();
    QQuickItem* grid = item("trackViewer");
    while (timer.elapsed() < timeoutMs) {
        bool loading = false;
        const auto pictures = grid->findChildren<QQuickItem*>(QStringLiteral("picture"));
        for (QQuickItem* picture : pictures) {
            if (picture->property("status").toInt() == 2)  // Image.Loading
                loading = true;
        }
        if (!loading)
            return true;
        QTest::qWait(20);
    }
    return false;
}

QQuickWindow* Session::player() const {
    QObject* loader = object("playerLoader");
    return loader ? qobject_cast<QQuickWindow*>(loader->property("item").value<QObject*>())
                  : nullptr;
}

QQuickItem* Session::playerItem(const char* name) const {
    QQuickWindow* p = player();
    return p ? p->findChild<QQuickItem*>(QString::fromLatin1(name)) : nullptr;
}

QPointF centreInWindow(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
}

QPointF centreInWindow(const Mark& mark) {
    return mark.rect.center();
}

void click(const Mark& mark) {
    QTest::mouseClick(mark.window, Qt::LeftButton, Qt::NoModifier, mark.rect.center().toPoint());
    QTest::qWait(30);
}

void click(QQuickItem* item, QPointF at) {
    if (!item || !item->window()) {
        qWarning() << "click: no item";
        return;
    }
    if (at.x() < 0)
        at = QPointF(item->width() / 2, item->height() / 2);
    const QPoint point = item->mapToScene(at).toPoint();
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::qWait(30);
}

void selectAllAndType(QQuickWindow* window, const QString& text) {
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    typeText(window, text);
}

void typeText(QQuickWindow* window, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(window, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, window, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QColor pixel(const QImage& grab, QQuickWindow* window, QPointF at) {
    const qreal ratio = window->effectiveDevicePixelRatio();
    return grab.pixelColor((at * ratio).toPoint());
}

bool near(const QColor& colour, const char* expected, int tolerance) {
    const QColor want(QString::fromLatin1(expected));
    const bool ok = qAbs(colour.red() - want.red()) <= tolerance &&
                    qAbs(colour.green() - want.green()) <= tolerance &&
                    qAbs(colour.blue() - want.blue()) <= tolerance;
    if (!ok)
        qWarning() << "colour" << colour.name() << "expected" << expected;
    return ok;
}

QList<QQuickItem*> findItems(QQuickItem* root, const QString& name) {
    QList<QQuickItem*> found;
    if (!root)
        return found;
    for (QQuickItem* child : root->childItems()) {
        if (child->objectName() == name)
            found.append(child);
        found.append(findItems(child, name));
    }
    return found;
}
