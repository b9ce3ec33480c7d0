# Included by editor/CMakeLists.txt (the post-link steps must be set where the target is).
# Reelwright for Windows: the program's resources (icon, version, manifest) and the folder
# that runs on a bare Windows. The runtime is staged once per build in runtime/ (stripped
# Qt DLLs, plug-ins, QML modules, MinGW runtime, translations), copied beside the programs
# in bin/ for the tests under Wine, and installed with reelwright.exe into reelwright/:
#   cmake --install build/windows --component reelwright --prefix P   ->  P/reelwright/
get_filename_component(reelwright_qt_prefix ${Qt5_DIR}/../../.. REALPATH)
include(${PROJECT_SOURCE_DIR}/installer/cmake/debug_info.cmake)

set(REELWRIGHT_VERSION ${PROJECT_VERSION}.0.0)
string(REPLACE "." "," REELWRIGHT_VERSION_COMMAS ${REELWRIGHT_VERSION})
set(REELWRIGHT_ICON ${CMAKE_CURRENT_LIST_DIR}/../icons/trayIcon.ico)
set(REELWRIGHT_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/reelwright.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/reelwright.rc.in ${CMAKE_CURRENT_BINARY_DIR}/reelwright.rc @ONLY)
target_sources(reelwright PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/reelwright.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/reelwright.rc PROPERTIES
                            OBJECT_DEPENDS "${REELWRIGHT_ICON};${REELWRIGHT_MANIFEST}")
# A graphical program: Qt's WinMain splits the wide command line into words in the ANSI
# code page before main(); QCoreApplication::arguments() reads the wide one again.
set_target_properties(reelwright PROPERTIES WIN32_EXECUTABLE ON)

# What the program loads. Image formats: JPEG, GIF and ICO as plug-ins, PNG and BMP are
# built into Qt5Gui.
set(reelwright_qt_dlls Qt5Core Qt5Gui Qt5Widgets Qt5Network Qt5Qml Qt5QmlModels
                       Qt5QmlWorkerScript Qt5Quick Qt5QuickControls2 Qt5QuickTemplates2 Qt5Xml)
set(reelwright_plugins platforms/qwindows imageformats/qjpeg imageformats/qgif
                       imageformats/qico styles/qwindowsvistastyle)
set(reelwright_qml_extra "QtQml 2" "QtQml.Models 2" "QtQml.WorkerScript 2")
# The MinGW runtime of the posix thread model, which the Qt DLLs import.
set(reelwright_runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
        find_file(path_${dll} ${dll} PATHS /usr/x86_64-w64-mingw32/lib NO_CMAKE_FIND_ROOT_PATH
                  NO_DEFAULT_PATH)
        set(path ${path_${dll}})
    endif()
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "MinGW runtime ${dll} not found (packages of scripts/packages/windows.txt)")
    endif()
    list(APPEND reelwright_runtime_dlls ${path})
endforeach()
# Qt's own Chinese texts (file dialogs, buttons), from Debian's qttranslations5-l10n.
set(reelwright_translations)
foreach(catalog qt_zh_CN qtbase_zh_CN qtdeclarative_zh_CN)
    set(path /usr/share/qt5/translations/${catalog}.qm)
    if(NOT EXISTS ${path})
        message(FATAL_ERROR "${path} not found (package qttranslations5-l10n)")
    endif()
    list(APPEND reelwright_translations ${path})
endforeach()

set(reelwright_stage ${CMAKE_CURRENT_BINARY_DIR}/windows-runtime)
file(GLOB_RECURSE reelwright_qml_documents ${CMAKE_CURRENT_LIST_DIR}/../qml/*.qml)
add_custom_command(
    OUTPUT ${reelwright_stage}.stamp
    COMMAND ${CMAKE_COMMAND} -DQT_PREFIX=${reelwright_qt_prefix} -DSTAGE=${reelwright_stage}
            -DSTRIP=${CMAKE_STRIP} -DQML_SOURCES=${CMAKE_CURRENT_LIST_DIR}/../qml
            "-DQT_DLLS=${reelwright_qt_dlls}" "-DPLUGINS=${reelwright_plugins}"
            "-DQML_EXTRA=${reelwright_qml_extra}" "-DRUNTIME_DLLS=${reelwright_runtime_dlls}"
            "-DTRANSLATIONS=${reelwright_translations}"
            -P ${CMAKE_CURRENT_LIST_DIR}/stage_runtime.cmake
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${reelwright_stage} ${CMAKE_BINARY_DIR}/bin
    # The test programs beside it also load Qt Test, which is not shipped.
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${reelwright_qt_prefix}/bin/Qt5Test.dll
            ${CMAKE_BINARY_DIR}/bin
    COMMAND ${CMAKE_COMMAND} -E touch ${reelwright_stage}.stamp
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/stage_runtime.cmake ${reelwright_qml_documents}
            ${CMAKE_CURRENT_LIST_DIR}/windows_program.cmake
    COMMENT "Staging the Qt runtime of reelwright.exe" VERBATIM)
add_custom_target(reelwright_runtime ALL DEPENDS ${reelwright_stage}.stamp)
add_dependencies(reelwright reelwright_runtime)

ferrylift_split_debug_info(reelwright)
install(PROGRAMS ${FERRYLIFT_STRIPPED_DIR}/reelwright.exe DESTINATION reelwright
        COMPONENT reelwright)
install(FILES ${FERRYLIFT_STRIPPED_DIR}/reelwright.exe.debug DESTINATION reelwright
        COMPONENT reelwright_debug)
install(DIRECTORY ${reelwright_stage}/ DESTINATION reelwright COMPONENT reelwright)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION reelwright
        COMPONENT reelwright)
