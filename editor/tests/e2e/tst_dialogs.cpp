// The file dialogs as a teacher in a Chinese locale meets them: Qt's own texts
// in Chinese, the kind of file each dialog is for offered beside all files,
// and each dialog starting in the folder last used for its purpose, also after
// the program is started again. Real dialogs (Qt's widget dialog, as on a
// desktop without a dialog service of its own), driven through the window.
#include "track_packages.h"

#include <qt_translations.h>
#include <session.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

// The widget dialog that a QML file dialog shows, or null.
QFileDialog* shownFileDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(s->window, k, modifiers);
        QTest::qWait(10);
    }
    // Shows a dialog with its key; returns the widget dialog on screen, or
    // null.
    QFileDialog* show(Qt::Key k) {
        key(k, Qt::ControlModifier);
        return QTest::qWaitFor([]() { return shownFileDialog() != nullptr; }, 10000)
                   ? shownFileDialog()
                   : nullptr;
    }
    // Chooses files in the shown dialog as the teacher would: types where
    // they are into the file name field, then their names, each with Enter.
    void choose(const QString& folder, const QStringList& names) {
        QFileDialog* dialog = shownFileDialog();
        QVERIFY(dialog);
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(field);
        field->setFocus();
        auto type = [&](const QString& text) {
            field->clear();
            QTest::keyClicks(field, text);
            QTest::keyClick(field, Qt::Key_Return);
        };
        type(folder);
        QTRY_COMPARE(dialog->directory().absolutePath(), folder);
        QStringList quoted;
        for (const QString& name : names)
            quoted << QLatin1Char('"') + name + QLatin1Char('"');
        type(names.size() == 1 ? names.first() : quoted.join(QLatin1Char(' ')));
        QTRY_VERIFY(!shownFileDialog());
        activateWindow();
    }
    // No window manager hands the keyboard back when a dialog closes.
    void activateWindow() {
        s->window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(s->window));
    }
    void cancel(const char* name) {
        QMetaObject::invokeMethod(s->object(name), "reject");
        QTRY_VERIFY(!shownFileDialog());
        activateWindow();
    }
    // Keeps a picture of the dialog for a person to look at when
    // REELWRIGHT_GRAB_DIR is set.
    static void keep(QWidget* dialog, const QString& name) {
        const QString folder = qEnvironmentVariable("REELWRIGHT_GRAB_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            dialog->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
    QString folder(const QString& name) {
        const QString path = dir.path() + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return path;
    }

private slots:
    void initTestCase() {
        // As the program does at start for a teacher in China.
        QCOMPARE(installQtTranslations(QLocale(QLocale::Chinese, QLocale::China)),
                 QDir::cleanPath(QLibraryInfo::location(QLibraryInfo::TranslationsPath)));
    }
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    void dialogsSpeakChineseAndRememberTheirFolders() {
        const QString lessons = folder("lessons");
        const QString photos = folder("photos");
        QVERIFY(!makeTrack(lessons, "remembered", ticks({10, 20})).isEmpty());

        QFileDialog* open = show(Qt::Key_O);
        QVERIFY(open);
        QCOMPARE(open->windowTitle(), QStringLiteral("课堂轨迹"));
        QCOMPARE(open->nameFilters(), QStringList({QStringLiteral("授课轨迹包 (*.zip)"),
                                                   QStringLiteral("所有文件 (*)")}));
        QCOMPARE(open->fileMode(), QFileDialog::ExistingFile);
        // Qt's texts in Chinese: the button reads 打开, not Open.
        QVERIFY2(open->labelText(QFileDialog::Accept).contains(QStringLiteral("打开")),
                 qPrintable(open->labelText(QFileDialog::Accept)));
        QVERIFY2(open->labelText(QFileDialog::LookIn) != QStringLiteral("Look in:"),
                 qPrintable(open->labelText(QFileDialog::LookIn)));
        keep(open, "dialog-open");
        // Nothing chosen yet: home, not the program's working folder.
        QCOMPARE(open->directory().absolutePath(), QDir::homePath());
        choose(lessons, {QStringLiteral("remembered.zip")});
        QTRY_COMPARE(s->entries().size(), 2);

        QFileDialog* insert = show(Qt::Key_I);
        QVERIFY(insert);
        QCOMPARE(insert->windowTitle(), QStringLiteral("课堂轨迹"));
        QCOMPARE(insert->nameFilters(),
                 QStringList({QStringLiteral("图片 (*.jpg *.jpeg *.png *.bmp *.gif)"),
                              QStringLiteral("所有文件 (*)")}));
        QCOMPARE(insert->fileMode(), QFileDialog::ExistingFiles);
        keep(insert, "dialog-insert");
        // Its own purpose: pictures have not been inserted before.
        QCOMPARE(insert->directory().absolutePath(), QDir::homePath());
        QVERIFY(!makePicture(photos + "/a.jpg", QSize(80, 60), Qt::red).isEmpty());
        QVERIFY(!makePicture(photos + "/b.jpg", QSize(80, 60), Qt::blue).isEmpty());
        choose(photos, {QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
        QTRY_COMPARE(s->entries().size(), 4);

        open = show(Qt::Key_O);
        QVERIFY(open);
        QCOMPARE(open->directory().absolutePath(), lessons);
        cancel("openDialog");
        insert = show(Qt::Key_I);
        QVERIFY(insert);
        QCOMPARE(insert->directory().absolutePath(), photos);
        cancel("insertDialog");

        // Started again (a new window, the same settings): still remembered.
        s.reset();
        s = std::make_unique<Session>();
        open = show(Qt::Key_O);
        QVERIFY(open);
        QCOMPARE(open->directory().absolutePath(), lessons);
        cancel("openDialog");
    }

    // The Windows build ships Qt's catalogues in a folder beside the program;
    // the first folder that has one for the locale wins.
    void translationsBesideTheProgram() {
        QTemporaryDir shipped;
        const QString system = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
        QVERIFY(QFile::copy(system + "/qtbase_zh_CN.qm", shipped.path() + "/qtbase_zh_CN.qm"));
        QTemporaryDir empty;
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        QCOMPARE(installQtTranslations(chinese, {empty.path(), shipped.path(), system}),
                 QDir::cleanPath(shipped.path()));
        QCOMPARE(installQtTranslations(chinese, {empty.path()}), QString());
    }
};

int runDialogsTests(int argc, char** argv) {
    DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogs.moc"
