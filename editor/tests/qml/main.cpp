// Qt Quick Test runner for the editor's QML components. The components and
// pictures come from the program's compiled-in resources ("qrc:/qml/controls",
// "qrc:/qml/editor", "qrc:/image", "qrc:/icons").
#include <QImageReader>
#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSize>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QtQuickTest>

namespace {

// Helpers that QML cannot do by itself.
class TestHelper : public QObject {
    Q_OBJECT

public:
    // Width, height, depth and alpha of every image in a multi-image file.
    Q_INVOKABLE QVariantList imageSizes(const QString& path) const {
        QVariantList sizes;
        QImageReader reader(path);
        if (!reader.canRead())
            return sizes;
        for (int frame = 0; frame < reader.imageCount(); ++frame) {
            if (!reader.jumpToImage(frame))
                break;
            const QImage image = reader.read();
            if (image.isNull())
                break;
            sizes.append(QVariantMap{{"width", image.width()},
                                     {"height", image.height()},
                                     {"depth", image.depth()},
                                     {"alpha", image.hasAlphaChannel()}});
        }
        return sizes;
    }

    // Folder into which tests save their grabs for a person to look at; empty
    // unless REELWRIGHT_GRAB_DIR is set.
    Q_INVOKABLE QString grabFolder() const { return qEnvironmentVariable("REELWRIGHT_GRAB_DIR"); }
};

class Setup : public QObject {
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->rootContext()->setContextProperty("testHelper", &helper_);
    }

private:
    TestHelper helper_;
};

}  // namespace

QUICK_TEST_MAIN_WITH_SETUP(reelwright_qml, Setup)

#include "main.moc"
