// The native object the user interface talks to: the open track's descriptive
// properties and the operations that open, edit and save a track package.
#pragma once

#include "host_outcome.h"

#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QQmlEngine>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

class QQmlComponent;
class TrackLoader;
struct TrackRead;

class QPlayerHost : public HostOutcome {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString date READ date WRITE setDate NOTIFY dateChanged)
    Q_PROPERTY(QString trackDesc READ trackDesc WRITE setTrackDesc NOTIFY trackDescChanged)
    Q_PROPERTY(QString trackName READ trackName WRITE setTrackName NOTIFY trackNameChanged)
    Q_PROPERTY(QString teacher READ teacher WRITE setTeacher NOTIFY teacherChanged)
    Q_PROPERTY(QString duration READ duration WRITE setDuration NOTIFY durationChanged)

public:
    // Creates the engine, publishes the host as "hostObject" and creates the
    // main window from "qrc:/qml/MainWindow.qml".
    explicit QPlayerHost(QObject* parent = nullptr);
    // Uses the given object in place of the main window (it receives the
    // clearTimeLine/appendItem/resetTimeLine calls); no window is created.
    // For tests and tools that drive the host without a user interface.
    QPlayerHost(QObject* userInterface, QObject* parent);
    ~QPlayerHost() override;

    QString title() const { return m_title; }
    QString date() const { return m_date; }
    QString trackDesc() const { return m_trackDesc; }
    QString trackName() const { return m_trackName; }
    QString teacher() const { return m_teacher; }
    QString duration() const { return m_duration; }

    Q_INVOKABLE void updateTrack(QString id, QString description);
    // Starts opening the package: it is unpacked and read while the window
    // goes on drawing (loading is true meanwhile), then the entries reach the
    // window and trackLoaded tells the outcome. False, starting nothing, while
    // another load runs.
    Q_INVOKABLE bool loadTrack(QUrl path);
    Q_INVOKABLE bool saveTrack(QString titile, QJsonArray track);
    Q_INVOKABLE QJsonArray prepareSamples(QList<QUrl> urls);
    // Declared invokable by HostOutcome, so the fixed table above stays as it is.
    bool saveTrackAs(QUrl package, QString titile, QJsonArray track) override;

    // Decimal text of value with one "0" in front when shorter than width.
    static QString padNumber(int value, int width);
    // Whole minutes and remaining seconds as "MM:SS"; minutes are not capped.
    static QString formatDuration(int seconds);
    // Generic data location + "/tideboard3/class-track/".
    static QString storeRoot();
    // Whether a document's picture name can stand for a file of the track's
    // "res" folder: not empty, not "." or "..", without "/" or "\\".
    static bool isPictureName(const QString& name);

    // Runs the event loop until no load runs and the pictures of the last one
    // are unpacked, then tells whether it opened its track. For programs and
    // tests that drive the host directly.
    bool waitForLoad();

    QQmlEngine* qmlEngine() { return &engine; }
    QObject* userInterface() const { return rootObject; }
    QString currentTrackFolder() const { return trackFolder; }
    QString currentPackagePath() const { return packagePath; }

signals:
    void quit();
    void titleChanged(QString arg);
    void dateChanged(QString arg);
    void trackDescChanged(QString arg);
    void trackNameChanged(QString arg);
    void teacherChanged(QString arg);
    void durationChanged(QString arg);

public slots:
    void setTitle(QString arg);
    void setDate(QString arg);
    void setTrackDesc(QString arg);
    void setTrackName(QString arg);
    void setTeacher(QString arg);
    void setDuration(QString arg);

private:
    void publish();
    // A failed load leaves no track open: the window emptied, the properties
    // cleared, nothing to save, the track folder's lock given back.
    bool failLoad(const QString& reason);
    // The worker's result taken over on the window's thread.
    void applyLoad(const QString& package, std::shared_ptr<TrackRead> read);
    // One slice of appendItem calls; the next slice follows from the event loop.
    void pushEntries();
    void endLoad(bool loaded);
    // The pictures of load serial are unpacked, or could not be (failure).
    void endUnpack(quint64 serial, const QString& failure);
    // Blocks until the pictures of the open track are all in the store.
    void waitForPictures();
    void callUserInterface(const char* function, const QVariantList& arguments = {});
    bool writeDocument(const char* caller);
    // The document merged with the window's list, written and packed into
    // package, which the track is saved into from then on.
    bool saveInto(const QString& package, const QString& titile, const QJsonArray& track);

    QQmlEngine engine;
    QQmlComponent* component = nullptr;
    QObject* rootObject = nullptr;
    QString m_title;
    QString trackFolder;
    QString packagePath;
    QFile trackFile;
    QDomDocument document;
    QString m_date;
    QString m_trackDesc;
    QString m_trackName;
    QString m_teacher;
    QString m_duration;
    // Held while trackFolder is open, so no other editor unpacks into it.
    std::unique_ptr<QLockFile> folderLock;
    // The read whose entries are being pushed into the window, and how many are.
    std::shared_ptr<TrackRead> pending;
    size_t pushed = 0;
    // The entries' order in the window's list, for a window that takes many at once.
    std::vector<size_t> pushOrder;
    // Since the running load started, for its traces.
    QElapsedTimer loadClock;
    bool lastLoadOpened = false;
    // Loads started, and unpacks of shown tracks' pictures still running.
    quint64 loadSerial = 0;
    int unpacksRunning = 0;
    // Why the last writeDocument failed: errno and Qt's message.
    int documentWriteErrno = 0;
    QString documentWriteMessage;
    // Last, so that it goes first: a read still running is waited for.
    std::unique_ptr<TrackLoader> loader;
};
