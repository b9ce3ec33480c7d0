// Which renderer Qt Quick uses for the program's windows.
#pragma once

// Qt Quick's OpenGL renderer needs OpenGL 2.0. Where the driver offers less or nothing
// (Windows' own renderer is OpenGL 1.1: a classroom PC without a proper display driver), the
// windows are drawn by Qt Quick's software renderer instead of not at all. An explicit
// QT_QUICK_BACKEND wins. Call after the application object exists, before any window.
// Returns whether the software renderer was chosen.
bool chooseSceneGraphBackend();
