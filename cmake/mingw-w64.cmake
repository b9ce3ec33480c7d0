# Cross build of the installer for 64-bit Windows with Debian's MinGW-w64.
# The -posix compilers: the win32 thread model has no std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run under Wine through our wrapper (private prefix, code page 936).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
# Qt 5 and libzip built for this target by the set-up (scripts/setup.d/30-qt-mingw.sh) into a
# per-machine cache that build/qt-mingw links to. Its host tools (moc, rcc) run here.
get_filename_component(TIDEBOARD_QT_MINGW ${CMAKE_CURRENT_LIST_DIR}/../build/qt-mingw REALPATH)
if(EXISTS ${TIDEBOARD_QT_MINGW}/lib/cmake/Qt5)
    list(APPEND CMAKE_FIND_ROOT_PATH ${TIDEBOARD_QT_MINGW})
    list(APPEND CMAKE_PREFIX_PATH ${TIDEBOARD_QT_MINGW})
endif()
