# tideboard_qml_debian_depends(<out var> <qml folder>)
# The Debian packages of the Qt Quick modules that the QML and JavaScript files
# under <qml folder> import. The engine loads these modules at run time, so
# dpkg-shlibdeps cannot see them; without them the program cannot create its
# window on a machine that has only the package's dependencies.
# An import missing from the table stops the configure run: add the module with
# the package that owns its qmldir (`dpkg -S <qml dir>/<Module>/qmldir`). The
# test editor.deb-package checks the table against the machine's packages.
set(TIDEBOARD_QML_DEBIAN_PACKAGES
    "QtQml 2=qml-module-qtqml"
    "QtQml.Models 2=qml-module-qtqml-models2"
    "QtQuick 2=qml-module-qtquick2"
    "QtQuick.Controls 1=qml-module-qtquick-controls"
    "QtQuick.Controls 2=qml-module-qtquick-controls2"
    "QtQuick.Dialogs 1=qml-module-qtquick-dialogs"
    "QtQuick.Layouts 1=qml-module-qtquick-layouts"
    "QtQuick.Shapes 1=qml-module-qtquick-shapes"
    "QtQuick.Templates 2=qml-module-qtquick-templates2"
    "QtQuick.Window 2=qml-module-qtquick-window2"
    "QtGraphicalEffects 1=qml-module-qtgraphicaleffects"
    "Qt.labs.folderlistmodel 2=qml-module-qt-labs-folderlistmodel"
    "Qt.labs.platform 1=qml-module-qt-labs-platform"
    "Qt.labs.settings 1=qml-module-qt-labs-settings")

function(tideboard_qml_debian_depends out dir)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${dir}/*.qml ${dir}/*.js)
    list(SORT files)
    set(packages)
    foreach(file IN LISTS files)
        # QML: "import Module 2.12 [as X]"; JavaScript: ".import Module 2.12 as X".
        file(STRINGS ${file} lines REGEX "^[ \t]*\\.?import[ \t]+[A-Za-z]")
        foreach(line IN LISTS lines)
            if(NOT line MATCHES "^[ \t]*\\.?import[ \t]+([A-Za-z][A-Za-z0-9_.]*)[ \t]+([0-9]+)")
                message(FATAL_ERROR "${file}: an import without a version: ${line}")
            endif()
            set(module "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
            set(package)
            foreach(entry IN LISTS TIDEBOARD_QML_DEBIAN_PACKAGES)
                string(FIND "${entry}" "${module}=" at)
                if(at EQUAL 0)
                    string(REPLACE "${module}=" "" package "${entry}")
                endif()
            endforeach()
            if(NOT package)
                message(FATAL_ERROR "${file} imports ${module}, which cmake/QmlDepends.cmake does "
                                    "not know; add the Debian package that owns its qmldir")
            endif()
            list(APPEND packages ${package})
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES packages)
    list(SORT packages)
    set(${out} ${packages} PARENT_SCOPE)
endfunction()
