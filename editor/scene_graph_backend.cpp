#include "scene_graph_backend.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtGlobal>

bool isSoftwareRasteriser(const QByteArray& renderer) {
    // Mesa's rasterisers (llvmpipe, softpipe, the old swrast) and Windows' own.
    static const char* const names[] = {"llvmpipe", "softpipe", "software rasterizer", "swrast",
                                        "gdi generic"};
    const QByteArray lower = renderer.toLower();
    for (const char* name : names) {
        if (lower.contains(name))
            return true;
    }
    return false;
}

QString chooseSceneGraphBackend() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QMLSCENE_DEVICE"))
        return {};
    const QByteArray wanted = qgetenv("REELWRIGHT_RENDERER");
    if (wanted == "opengl")
        return {};
    QString why;
    if (wanted == "software") {
        why = QStringLiteral("REELWRIGHT_RENDERER asks for the software renderer");
    } else {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        if (!context.create() || !surface.isValid() || !context.makeCurrent(&surface)) {
            why = QStringLiteral("OpenGL is not available");
        } else {
            const auto* renderer =
                reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
            if (context.format().majorVersion() < 2)
                why = QStringLiteral("OpenGL 2 is not available");
            else if (renderer && isSoftwareRasteriser(renderer))
                why = QStringLiteral("OpenGL runs on the processor (%1)")
                          .arg(QString::fromLatin1(renderer));
            context.doneCurrent();
        }
    }
    if (!why.isEmpty())
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    return why;
}
