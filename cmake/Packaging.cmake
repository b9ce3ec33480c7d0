# Installing and packaging. Included last from the top-level CMakeLists, when every
# target exists.
#   cmake --install build/release [--prefix P]   the programs a user runs, with their data
#   cd build/release && cpack -G DEB             reelwright_<version>_<arch>.deb
# The Windows build packs a ZIP of what the installer's own install rules install.
include(GNUInstallDirs)

# The tools a user runs. Test, benchmark and demo programs are never installed.
foreach(tool ferrylift-pack make-sample-track)
    if(TARGET ${tool} AND NOT CMAKE_CROSSCOMPILING)
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    endif()
endforeach()
if(TARGET ferrylift-pack AND NOT CMAKE_CROSSCOMPILING)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/ferrylift-pack.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endif()

set(CPACK_PACKAGE_VENDOR "Tideboard")
# The Windows ZIP carries the installer's product version (installer/cmake/packaging.cmake).
if(NOT DEFINED CPACK_PACKAGE_VERSION)
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
endif()
set(CPACK_PACKAGE_CONTACT "Tideboard <packages@tideboard.invalid>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    # Reelwright's folder (editor/windows) as reelwright-<version>-win64.zip, its debug
    # information apart.
    if(TARGET reelwright)
        list(APPEND CPACK_COMPONENTS_ALL reelwright reelwright_debug)
        set(CPACK_ARCHIVE_REELWRIGHT_FILE_NAME reelwright-${PROJECT_VERSION}-win64)
        set(CPACK_ARCHIVE_REELWRIGHT_DEBUG_FILE_NAME reelwright-${PROJECT_VERSION}-win64-debug)
    endif()
    if(NOT DEFINED CPACK_GENERATOR)
        set(CPACK_GENERATOR ZIP)
    endif()
    if(NOT DEFINED CPACK_PACKAGE_NAME)
        set(CPACK_PACKAGE_NAME ferrylift)
    endif()
    include(CPack)
    return()
endif()

# The Debian package holds Reelwright alone (the component "reelwright" of
# editor/cmake/install.cmake); the tools are for the machines that make releases.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reelwright)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL reelwright)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME reelwright)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lesson track editor of the Tideboard classroom suite")
# CPack puts the summary first and indents these lines as the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reelwright opens a lesson track package, a ZIP archive of pictures with
their captions and timing, and shows the track as a grid of picture cells
with a timeline. A teacher reorders, inserts and removes pictures, changes
captions and timing with undo and redo for every step, previews the track
full screen and saves it back into the package.

Reelwright is the authoring tool of the Tideboard classroom suite; the
packages it saves are played in the suite's classroom client.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Shared libraries from dpkg-shlibdeps; the Qt Quick modules, which are loaded at
# run time and so invisible to it, from the editor's QML imports.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A packaged program gets a read-only relocation table, as Debian's own builds do.
if(TARGET reelwright)
    target_link_options(reelwright PRIVATE LINKER:-z,relro LINKER:-z,now)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/QmlDepends.cmake)
tideboard_qml_debian_depends(reelwright_qml_depends ${PROJECT_SOURCE_DIR}/editor/qml)
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${reelwright_qml_depends}")
include(CPack)

