#include "qplayerhost.h"
#include "host_log.h"
#include "picture_provider.h"
#include "track_loader.h"
#include "track_xml.h"

#include <QDebug>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlError>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVariant>
#include <cerrno>

QPlayerHost::QPlayerHost(QObject* parent) : HostOutcome(parent) {
    publish();
    component = new QQmlComponent(&engine, QUrl(QStringLiteral("qrc:/qml/editor/MainWindow.qml")));
    rootObject = component->create();
    // Without this the only trace of a broken document is "Component is not ready".
    if (!rootObject) {
        for (const QQmlError& error : component->errors())
            qCWarning(lcHost).noquote() << "QPlayerHost::QPlayerHost" << error.toString();
    }
    connect(&engine, &QQmlEngine::quit, this, &QPlayerHost::quit);
}

QPlayerHost::QPlayerHost(QObject* userInterface, QObject* parent) : HostOutcome(parent) {
    publish();
    rootObject = userInterface;
    connect(&engine, &QQmlEngine::quit, this, &QPlayerHost::quit);
}

// The component and the window live until the process ends.
QPlayerHost::~QPlayerHost() = default;

void QPlayerHost::publish() {
    qRegisterMetaType<QList<QUrl>>("QList<QUrl>");
    engine.rootContext()->setContextProperty(QStringLiteral("hostObject"), this);
    engine.addImageProvider(QLatin1String(PictureProvider::kName), new PictureProvider);
}

void QPlayerHost::callUserInterface(const char* function, const QVariantList& arguments) {
    if (!rootObject)
        return;
    QVariant ignored;
    QVariant a[5];
    for (int i = 0; i < arguments.size() && i < 5; ++i)
        a[i] = arguments[i];
    switch (arguments.size()) {
        case 0:
            QMetaObject::invokeMethod(rootObject, function, Qt::DirectConnection,
                                      Q_RETURN_ARG(QVariant, ignored));
            break;
        case 5:
            QMetaObject::invokeMethod(rootObject, function, Qt::DirectConnection,
                                      Q_RETURN_ARG(QVariant, ignored), Q_ARG(QVariant, a[0]),
                                      Q_ARG(QVariant, a[1]), Q_ARG(QVariant, a[2]),
                                      Q_ARG(QVariant, a[3]), Q_ARG(QVariant, a[4]));
            break;
        default:
            qCWarning(lcHost) << "QPlayerHost::callUserInterface" << function
                              << "unsupported argument count" << arguments.size();
    }
}

void QPlayerHost::setTitle(QString arg) {
    if (m_title == arg)
        return;
    m_title = arg;
    emit titleChanged(arg);
}

void QPlayerHost::setDate(QString arg) {
    if (m_date == arg)
        return;
    m_date = arg;
    emit dateChanged(arg);
}

void QPlayerHost::setTrackDesc(QString arg) {
    if (m_trackDesc == arg)
        return;
    m_trackDesc = arg;
    emit trackDescChanged(arg);
}

void QPlayerHost::setTrackName(QString arg) {
    if (m_trackName == arg)
        return;
    m_trackName = arg;
    emit trackNameChanged(arg);
}

void QPlayerHost::setTeacher(QString arg) {
    if (m_teacher == arg)
        return;
    m_teacher = arg;
    emit teacherChanged(arg);
}

void QPlayerHost::setDuration(QString arg) {
    if (m_duration == arg)
        return;
    m_duration = arg;
    emit durationChanged(arg);
}

QString QPlayerHost::padNumber(int value, int width) {
    QString text = QString::number(value);
    if (text.size() < width)
        text.prepend(QLatin1Char('0'));
    return text;
}

QString QPlayerHost::formatDuration(int seconds) {
    return padNumber(seconds / 60, 2) + QLatin1Char(':') + padNumber(seconds % 60, 2);
}

QString QPlayerHost::storeRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tideboard3/class-track/");
}

bool QPlayerHost::isPictureName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

// Rewrites "tracks.xml" whole and atomically: a failed write leaves the old file.
bool QPlayerHost::writeDocument(const char* caller) {
    if (trackFile.fileName().isEmpty()) {
        qCDebug(lcHost) << caller << "no track file";
        return false;
    }
    QSaveFile out(trackFile.fileName());
    // errno right after the failing call says why, for the save's reason.
    if (!out.open(QIODevice::WriteOnly)) {
        documentWriteErrno = errno;
        documentWriteMessage = out.errorString();
        qCDebug(lcHost) << caller << "cannot open" << out.fileName() << out.errorString();
        return false;
    }
    if (!trackxml::write(document, out)) {
        documentWriteErrno = errno;
        documentWriteMessage = out.errorString();
        qCDebug(lcHost) << caller << "cannot write" << out.fileName();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        documentWriteErrno = errno;
        documentWriteMessage = out.errorString();
        qCDebug(lcHost) << caller << "cannot write" << out.fileName() << out.errorString();
        return false;
    }
    return true;
}

void QPlayerHost::updateTrack(QString id, QString description) {
    // An unparsed document would replace the track with nothing; while a load
    // runs the document is about to be replaced.
    if (document.documentElement().isNull() || loading()) {
        qCDebug(lcHost) << "QPlayerHost::updateTrack"
                        << "no parsed track, nothing written";
        return;
    }
    const QDomElement tracks =
        document.documentElement().firstChildElement(QStringLiteral("tracks"));
    for (QDomNode child = tracks.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.toElement().attribute(QStringLiteral("id")) != id)
            continue;
        trackxml::setText(document, child.firstChildElement(QStringLiteral("description")),
                          description);
        break;
    }
    writeDocument("QPlayerHost::updateTrack");
}
