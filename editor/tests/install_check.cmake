# cmake -DBUILD=<build folder> -DPREFIX=<scratch prefix> -P install_check.cmake
# Installs the build into the scratch prefix and checks that the program, its
# menu entry and its icon are where desktops look for them.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path bin/reelwright share/applications/org.tideboard.Reelwright.desktop
             share/icons/hicolor/scalable/apps/org.tideboard.Reelwright.svg)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
execute_process(COMMAND test -x ${PREFIX}/bin/reelwright RESULT_VARIABLE executable)
if(NOT executable EQUAL 0)
    message(FATAL_ERROR "bin/reelwright is not executable")
endif()
file(STRINGS ${PREFIX}/share/applications/org.tideboard.Reelwright.desktop entry)
foreach(line "[Desktop Entry]" "Type=Application" "Exec=reelwright %f" "Icon=org.tideboard.Reelwright")
    list(FIND entry "${line}" found)
    if(found LESS 0)
        message(FATAL_ERROR "the menu entry lacks \"${line}\"")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "installed: program, menu entry and icon")
