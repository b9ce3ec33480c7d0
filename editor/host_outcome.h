// What the last operation of the host could not do, for the window to say:
// the reason a load or save failed and the files an import or save left out.
// A base of its own so the host's own meta-object methods keep their order.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class HostOutcome : public QObject {
    Q_OBJECT
    // Short Chinese reason of the last failed loadTrack or saveTrack; empty
    // after one that succeeded.
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    // File names left out of the last saveTrack (missing, or not regular files)
    // or skipped by the last prepareSamples (pictures that could not be read).
    Q_PROPERTY(QStringList lastSkipped READ lastSkipped NOTIFY lastSkippedChanged)

public:
    using QObject::QObject;

    QString lastError() const { return m_lastError; }
    QStringList lastSkipped() const { return m_lastSkipped; }

signals:
    void lastErrorChanged(QString arg);
    void lastSkippedChanged(QStringList arg);

protected:
    void setLastError(const QString& reason);
    void setLastSkipped(const QStringList& names);

private:
    QString m_lastError;
    QStringList m_lastSkipped;
};
