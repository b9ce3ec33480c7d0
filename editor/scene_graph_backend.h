// Which renderer Qt Quick uses for the program's windows.
#pragma once

#include <QByteArray>
#include <QString>

// Qt Quick's OpenGL renderer needs OpenGL 2.0. Where the driver offers less or nothing
// (Windows' own renderer is OpenGL 1.1: a classroom PC without a proper display driver),
// the windows are drawn by Qt Quick's software renderer instead of not at all. Where
// OpenGL itself runs on the processor (Mesa's llvmpipe on a PC without a graphics driver,
// or in a virtual machine), the software renderer is chosen too: it draws only what
// changed and keeps no second copy of every picture as a texture, where OpenGL on the
// processor redraws whole windows and holds both (about 230 MB more with a grid of
// large pictures and the preview open).
//
// An explicit QT_QUICK_BACKEND wins, and REELWRIGHT_RENDERER=opengl keeps OpenGL
// whatever runs it. Call after the application object exists, before any window.
// Returns why the software renderer was chosen, or empty when OpenGL draws.
QString chooseSceneGraphBackend();

// Whether an OpenGL renderer string (GL_RENDERER) names a rasteriser that runs on the
// processor.
bool isSoftwareRasteriser(const QByteArray& renderer);
