// What the host's operations tell the window beyond their results: the reason
// a load or save failed, the files a load, import or save left out, and the
// state of a load, which runs while the window goes on drawing; and saving
// under another name. A base of its own so the host's own meta-object methods
// keep their order.
#pragma once

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class HostOutcome : public QObject {
    Q_OBJECT
    // Short Chinese reason of the last failed loadTrack or saveTrack; empty
    // after one that succeeded.
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    // File names left out of the last saveTrack (missing, or not regular files),
    // skipped by the last prepareSamples (pictures that could not be read), or
    // package entries the last load left out (outside the track folder).
    Q_PROPERTY(QStringList lastSkipped READ lastSkipped NOTIFY lastSkippedChanged)
    // From loadTrack until trackLoaded: a package is being opened.
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    // How far the running load is, from 0 to 1; -1 while that is not known
    // (the package is being unpacked).
    Q_PROPERTY(double loadProgress READ loadProgress NOTIFY loadProgressChanged)

public:
    using QObject::QObject;

    QString lastError() const { return m_lastError; }
    QStringList lastSkipped() const { return m_lastSkipped; }
    bool loading() const { return m_loading; }
    double loadProgress() const { return m_loadProgress; }

    // saveTrack's merge, with the track folder packed into the package the
    // teacher chose; later saves go there. The track folder (and its lock)
    // stays: the new package holds it under the same name. False, with
    // lastError, when the package cannot be written; the old one is kept then.
    Q_INVOKABLE virtual bool saveTrackAs(QUrl package, QString titile, QJsonArray track) = 0;

signals:
    void lastErrorChanged(QString arg);
    void lastSkippedChanged(QStringList arg);
    void loadingChanged(bool arg);
    void loadProgressChanged(double arg);
    // A load started by loadTrack is over: the window holds the new track
    // (loaded) or no track, and lastError says why.
    void trackLoaded(bool loaded);
    // The pictures of a large package, unpacked after its entries were shown,
    // are all in the store (ok), or could not be unpacked: then no track is
    // open any more, and lastError says why.
    void picturesUnpacked(bool ok);

protected:
    void setLastError(const QString& reason);
    void setLastSkipped(const QStringList& names);
    void setLoading(bool loading);
    void setLoadProgress(double progress);

private:
    QString m_lastError;
    QStringList m_lastSkipped;
    bool m_loading = false;
    double m_loadProgress = -1;
};
