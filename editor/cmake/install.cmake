# cmake --install: the program, its menu entry, its AppStream metadata, its icons
# in every hicolor size, its manual page and its copyright, where desktops and
# package tools look for them. Everything here is the component "reelwright",
# which is what the Debian package holds.
include(GNUInstallDirs)
if(NOT TARGET reelwright)
    return()
endif()

set(reelwright_id org.tideboard.Reelwright)
set(reelwright_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS reelwright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT reelwright)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../${reelwright_id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT reelwright)

# The release line carries the project's version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/../${reelwright_id}.metainfo.xml
               ${CMAKE_CURRENT_BINARY_DIR}/${reelwright_id}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${reelwright_id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT reelwright)

# Icons: the SVG source as the scalable one and PNGs rendered from it at build
# time, so no rendered copy has to be kept in step by hand.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(reelwright_icon_svg ${CMAKE_CURRENT_LIST_DIR}/../icons/src/trayIcon.svg)
set(reelwright_icon_pngs)
foreach(size 16 22 24 32 48 64 128 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/${reelwright_id}.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory icons/${size}x${size}
                       COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -f png -o ${png}
                               ${reelwright_icon_svg}
                       DEPENDS ${reelwright_icon_svg}
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       COMMENT "Rendering the ${size}x${size} program icon" VERBATIM)
    list(APPEND reelwright_icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            COMPONENT reelwright)
endforeach()
install(FILES ${reelwright_icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${reelwright_id}.svg COMPONENT reelwright)

# Manual page and changelog compressed as Debian wants them (gzip -9, no name or time).
find_program(GZIP gzip REQUIRED)
configure_file(${reelwright_packaging_dir}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
set(reelwright_gzipped)
foreach(pair "man/reelwright.1|${reelwright_packaging_dir}/man/reelwright.1"
             "changelog|${CMAKE_CURRENT_BINARY_DIR}/changelog")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 name)
    list(GET pair 1 source)
    set(gz ${CMAKE_CURRENT_BINARY_DIR}/gz/${name}.gz)
    get_filename_component(gz_dir ${gz} DIRECTORY)
    add_custom_command(OUTPUT ${gz}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${gz_dir}
                       COMMAND sh -c "${GZIP} -9n -c \"$1\" > \"$2\"" gzip ${source} ${gz}
                       DEPENDS ${source} COMMENT "Compressing ${name}" VERBATIM)
    list(APPEND reelwright_gzipped ${gz})
endforeach()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/man/reelwright.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT reelwright)
install(FILES ${reelwright_packaging_dir}/copyright ${CMAKE_CURRENT_BINARY_DIR}/gz/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/reelwright COMPONENT reelwright)

add_custom_target(reelwright_install_data ALL DEPENDS ${reelwright_icon_pngs} ${reelwright_gzipped})
