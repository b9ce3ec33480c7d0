#include "scene_graph_backend.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtGlobal>

bool chooseSceneGraphBackend() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QMLSCENE_DEVICE"))
        return false;
    bool usable = false;
    {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        usable = context.create() && surface.isValid() && context.makeCurrent(&surface) &&
                 context.format().majorVersion() >= 2;
        if (usable)
            context.doneCurrent();
    }
    if (usable)
        return false;
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    return true;
}
