// The preview player end to end, opened from the main window: stages and cover
// page, current entry and tips bar, play and keys, immersive mode, closing.
#include "track_packages.h"

#include <session.h>

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QQmlProperty>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class PlayerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    // Opens the track and presses the preview button; returns the player.
    QQuickWindow* preview(const QString& name, const QVector<PackageEntry>& entries,
                          int select = -1, QSize size = QSize(320, 180)) {
        if (!s->open(makeTrack(dir.path(), name, entries, size)))
            return nullptr;
        if (select >= 0)
            s->clickCell(select);
        click(s->item("previewButton"));
        QQuickWindow* player = s->player();
        if (!player)
            return nullptr;
        if (!QTest::qWaitForWindowExposed(player))
            return nullptr;
        player->requestActivate();
        if (!QTest::qWaitForWindowActive(player))
            qWarning() << "player not active";
        return player;
    }

    static void keep(QQuickWindow* window, const QString& name) {
        const QString folder = qEnvironmentVariable("REELWRIGHT_GRAB_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            window->grabWindow().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
    int current() const { return s->playerItem("timeLine")->property("currentIndex").toInt(); }
    QObject* timer(const char* name) const {
        return QQmlProperty::read(s->player(), QString::fromLatin1(name)).value<QObject*>();
    }
    QVariant playerCall(const char* function, const QVariant& argument) const {
        QVariant result;
        QMetaObject::invokeMethod(s->player(), function, Q_RETURN_ARG(QVariant, result),
                                  Q_ARG(QVariant, argument));
        return result;
    }

private slots:
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    void stagesCoverPageAndReuse() {
        const QVector<PackageEntry> entries = {
            {0, "a", "-1"}, {60, "导入新课", "1"}, {130, "c", "-1"}, {200, "d", "1"}};
        QQuickWindow* player = preview("stages", entries);
        QVERIFY(player);
        QVERIFY(player->visibility() == QWindow::FullScreen);
        QCOMPARE(player->size(), player->screen()->size());
        QVERIFY(player->flags() & Qt::WindowStaysOnTopHint);

        auto* stages = qobject_cast<QAbstractItemModel*>(
            QQmlProperty::read(player, "classStructModel").value<QObject*>());
        QVERIFY(stages);
        QCOMPARE(stages->rowCount(), 2);
        const auto roles = stages->roleNames();
        auto value = [&](int row, const char* role) {
            return stages->data(stages->index(row, 0), roles.key(role)).toInt();
        };
        QCOMPARE(value(0, "startTimeTick"), 60);
        QCOMPARE(value(0, "endTimeTick"), 200);
        QCOMPARE(value(1, "startTimeTick"), 200);
        QCOMPARE(value(1, "endTimeTick"), 200);
        QCOMPARE(playerCall("timeToString", 60).toString() + "-" +
                     playerCall("timeToString", 200).toString(),
                 QStringLiteral("01:00-03:20"));
        QCOMPARE(playerCall("timeToString", 125 * 60 + 5).toString(), QStringLiteral("125:05"));

        QQuickItem* cover = s->playerItem("coverPage");
        QVERIFY(cover->isVisible());
        QVERIFY(!s->playerItem("tipsBar")->isVisible());
        QVERIFY(s->playerItem("coverButton")->isVisible());
        QCOMPARE(current(), -1);

        QTest::qWait(200);
        const QImage grab = player->grabWindow();
        QVERIFY(near(pixel(grab, player, QPointF(20, 5)), "#16A949"));
        QVERIFY(near(pixel(grab, player, QPointF(8, player->height() - 6)), "#222222"));
        QVERIFY(near(pixel(grab, player, QPointF(20, 200)), "#FAFCFD"));
        if (!qEnvironmentVariableIsEmpty("REELWRIGHT_GRAB_DIR"))
            grab.save(qEnvironmentVariable("REELWRIGHT_GRAB_DIR") + "/cover.png");

        // A span click makes the stage's opening entry current.
        const auto spans = findItems(player->contentItem(), "stageSpan");
        QCOMPARE(spans.size(), 2);
        QQuickItem* second =
            spans[0]->mapToScene(QPointF()).y() > spans[1]->mapToScene(QPointF()).y() ? spans[0]
                                                                                      : spans[1];
        click(second);
        QCOMPARE(current(), 3);
        QVERIFY(!cover->isVisible());
        QVERIFY(s->playerItem("tipsBar")->isVisible());
        click(s->playerItem("coverButton"));
        QVERIFY(cover->isVisible());
        click(s->playerItem("coverButton"));
        QVERIFY(!cover->isVisible());

        // A second press shows the list as it is now, not the first one's.
        s->call("deleteEntry", {0});
        QCOMPARE(s->entries().size(), 3);
        click(s->item("previewButton"));
        QTRY_VERIFY(s->player());
        player = s->player();
        QCOMPARE(
            QQmlProperty::read(player, "trackModel").value<QObject*>()->property("count").toInt(),
            3);

        // Closed by the system or minimised, the next preview still follows the
        // editor: an entry deleted meanwhile is gone from it.
        player->QWindow::close();
        QTRY_VERIFY(!player->isVisible());
        s->call("deleteEntry", {0});
        click(s->item("previewButton"));
        QTRY_VERIFY(s->player() && s->player()->isVisible());
        QCOMPARE(QQmlProperty::read(s->player(), "trackModel")
                     .value<QObject*>()
                     ->property("count")
                     .toInt(),
                 2);
        s->player()->showMinimized();
        s->call("deleteEntry", {0});
        click(s->item("previewButton"));
        QTRY_VERIFY(s->player() && s->player()->isVisible());
        player = s->player();
        QCOMPARE(
            QQmlProperty::read(player, "trackModel").value<QObject*>()->property("count").toInt(),
            1);

        // The close button destroys it; the next preview has the list again.
        click(s->playerItem("closeButton"));
        QTRY_VERIFY(!s->player());
        click(s->item("previewButton"));
        QTRY_VERIFY(s->player());
        QCOMPARE(QQmlProperty::read(s->player(), "trackModel")
                     .value<QObject*>()
                     ->property("count")
                     .toInt(),
                 1);
    }

    void selectedEntryShowsItsPictureAndTips() {
        const QVector<PackageEntry> entries = {
            {0, "a", "-1"}, {20, "b", "-1"}, {40, "c", "-1"}, {65, "Intro", "-1"}};
        QQuickWindow* player = preview("tips", entries, 3, QSize(2400, 1800));
        QVERIFY(player);
        QCOMPARE(current(), 3);
        QVERIFY(!s->playerItem("coverPage")->isVisible());
        QQuickItem* tips = s->playerItem("tipsBar");
        QVERIFY(tips->isVisible());
        // Time and caption apart, as in the timeline's tooltip.
        QCOMPARE(s->playerItem("tipsText")->property("text").toString(),
                 QStringLiteral("01:05  Intro"));
        QCOMPARE(tips->width(), s->playerItem("tipsText")->property("contentWidth").toReal() + 72);
        QCOMPARE(tips->y() + tips->height(), s->playerItem("controlBar")->y());
        // 48 left of the current mark's centre.
        QQuickItem* timeLine = s->playerItem("timeLine");
        const Mark mark = marksOf(timeLine)[3];
        QCOMPARE(tips->mapToScene(QPointF()).x() + 48, centreInWindow(mark).x());
        QQuickItem* marker = s->playerItem("marker");
        QVERIFY(marker->isVisible());
        QCOMPARE(marker->mapToScene(QPointF(8, 0)).x(), centreInWindow(mark).x());

        // The picture is decoded at most at the screen's size.
        QQuickItem* picture = s->playerItem("picture");
        QTRY_COMPARE(picture->property("status").toInt(), 1);
        QVERIFY(picture->property("asynchronous").toBool());
        QVERIFY(picture->implicitWidth() <= player->screen()->size().width());
        QVERIFY(picture->implicitHeight() <= player->screen()->size().height());
        QCOMPARE(picture->property("source").toString(),
                 QStringLiteral("image://picture/") + s->entries()[3].sample);

        QTest::qWait(200);
        const QImage grab = player->grabWindow();
        QVERIFY(near(pixel(grab, player, centreInWindow(tips) + QPointF(-tips->width() / 2 + 4, 0)),
                     "#17A949"));
        QVERIFY(near(pixel(grab, player, QPointF(5, player->height() / 2)), "#7E7E7E"));

        click(s->playerItem("tipsCloseButton"));
        QVERIFY(!tips->isVisible());
        QVERIFY(!marker->isVisible());
    }

    void arrowKeysAndPlay() {
        QQuickWindow* player = preview("keys", {{0, "a", "-1"}, {20, "b", "-1"}, {40, "c", "-1"}});
        QVERIFY(player);
        QTest::keyClick(player, Qt::Key_Left);
        QCOMPARE(current(), -1);
        QTest::keyClick(player, Qt::Key_Right);
        QCOMPARE(current(), 0);
        QVERIFY(!s->playerItem("coverPage")->isVisible());
        QTest::keyClick(player, Qt::Key_Left);
        QCOMPARE(current(), 0);
        QTest::keyClick(player, Qt::Key_Right);
        QTest::keyClick(player, Qt::Key_Right);
        QTest::keyClick(player, Qt::Key_Right);
        QCOMPARE(current(), 2);

        // Play on the last entry starts over from the first.
        QQuickItem* play = s->playerItem("playButton");
        QObject* playTimer = timer("playTimer");
        QCOMPARE(playTimer->property("interval").toInt(), 5000);
        click(play);
        QCOMPARE(current(), 0);
        QVERIFY(playTimer->property("running").toBool());
        QVERIFY(play->property("source").toString().endsWith("pause-normal.png"));
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(current(), 1, 6000);
        // A coarse timer may fire up to 5 % early.
        QVERIFY2(clock.elapsed() >= 4700, qPrintable(QString::number(clock.elapsed())));
        // A key while playing; the timer goes on from there and stops at the end.
        QTest::keyClick(player, Qt::Key_Right);
        QCOMPARE(current(), 2);
        QVERIFY(playTimer->property("running").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(!playTimer->property("running").toBool(), 6000);
        QCOMPARE(current(), 2);
        QVERIFY(play->property("source").toString().endsWith("play-normal.png"));
    }

    void singleEntryNeverPlays() {
        QVERIFY(preview("single", {{45, "only", "1"}}));
        click(s->playerItem("playButton"));
        QVERIFY(!timer("playTimer")->property("running").toBool());
        QCOMPARE(current(), -1);
        QVERIFY(s->playerItem("coverPage")->isVisible());
    }

    void immersiveModeHidesBarsAfterRest() {
        QQuickWindow* player = preview("rest", {{0, "a", "-1"}, {30, "b", "-1"}}, 1);
        QVERIFY(player);
        QQuickItem* titleBar = s->playerItem("titleBar");
        QQuickItem* tips = s->playerItem("tipsBar");
        QTest::mouseMove(player, QPoint(400, 400));
        click(s->playerItem("fullScreenButton"));
        QObject* rest = timer("restTimer");
        QVERIFY(rest->property("running").toBool());
        QVERIFY(!player->property("sidebarVisible").toBool());
        QTRY_COMPARE(titleBar->height(), 0.0);
        // The tips bar stays on the collapsed control bar, at the bottom.
        QVERIFY(tips->isVisible());
        QCOMPARE(tips->y() + tips->height(), static_cast<qreal>(player->height()));

        QTest::mouseMove(player, QPoint(600, 500));
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(player->property("sidebarVisible").toBool(), 1500);
        QVERIFY(clock.elapsed() <= 1100);
        QTRY_VERIFY_WITH_TIMEOUT(!player->property("sidebarVisible").toBool(), 5000);
        const qint64 hidden = clock.elapsed();
        // Three to four seconds, give or take the coarse timer's 5 % per firing.
        QVERIFY2(hidden >= 2800 && hidden <= 4300, qPrintable(QString::number(hidden)));

        QTest::mouseMove(player, QPoint(700, 500));
        QTRY_VERIFY_WITH_TIMEOUT(player->property("sidebarVisible").toBool(), 1500);
        QTRY_COMPARE(s->playerItem("controlBar")->height(), 72.0);
        click(s->playerItem("fullScreenButton"));
        QVERIFY(!rest->property("running").toBool());
        QVERIFY(player->property("sidebarVisible").toBool());
    }

    // A long title is elided between the cover button and the window
    // buttons, as in the editor; a short one stays centred.
    void longTitleStaysBetweenTheButtons() {
        QQuickWindow* player = preview("title", {{0, "a", "-1"}, {10, "b", "-1"}});
        QVERIFY(player);
        QQuickItem* caption = s->playerItem("caption");
        QQuickItem* cover = s->playerItem("coverButton");
        QQuickItem* minimum = s->playerItem("minimumButton");
        QVERIFY(cover->isVisible());
        const qreal centre = caption->mapToScene(QPointF(caption->width() / 2, 0)).x();
        QVERIFY(qAbs(centre - player->width() / 2.0) <= 1);
        QVERIFY(!caption->property("truncated").toBool());

        s->host->setTitle(QString(120, QChar(0x8BFE)) + QStringLiteral(" end"));
        QVERIFY(caption->property("truncated").toBool());
        const QRectF title(caption->mapToScene(QPointF()), caption->size());
        QVERIFY2(cover->mapToScene(QPointF()).x() >= 0,
                 qPrintable(QString::number(cover->mapToScene(QPointF()).x())));
        QVERIFY2(title.right() <= minimum->mapToScene(QPointF()).x(),
                 qPrintable(QString::number(title.right())));
        keep(player, "player-title-long");
    }

    void longTextsElideAndWrap() {
        s->host->setTeacher(QStringLiteral("授课老师：一位名字非常非常非常非常长的老师"));
        QQuickWindow* player = preview(
            "texts", {{0, "a", "-1"}, {60, QString(40, QChar(0x73AF)), "1"}, {90, "e", "-1"}});
        QVERIFY(player);
        // The load replaced the teacher; a longer one set afterwards is elided.
        s->host->setTeacher(QStringLiteral("授课老师：一位名字非常非常非常非常长的老师"));
        QQuickItem* cover = s->playerItem("coverPage");
        bool elided = false;
        for (QQuickItem* text : cover->findChildren<QQuickItem*>()) {
            if (text->property("text").toString() == s->host->teacher())
                elided = text->property("truncated").toBool();
        }
        QVERIFY(elided);
        const auto spans = findItems(player->contentItem(), "stageSpan");
        QCOMPARE(spans.size(), 1);
        QVERIFY(spans[0]->height() > 32 + 8);
    }
};

int runPlayerTests(int argc, char** argv) {
    PlayerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_player.moc"
