# cmake -DRENDER=<reelwright-render> -DSAMPLE=<make-sample-track> -DWORK=<scratch>
#       -P render_check.cmake
# The demo's rendering on a fresh sample package: the renderer prints the three
# pictures it wrote, and each is a PNG file of a full window. Runs on DISPLAY,
# or on a private Xvfb display when none is set.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/data ${WORK}/runtime)
# The track store goes to the scratch folder, never to the user's.
set(ENV{XDG_DATA_HOME} ${WORK}/data)
set(ENV{XDG_RUNTIME_DIR} ${WORK}/runtime)
file(CHMOD ${WORK}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# The sample tool draws offscreen; only the renderer shows windows.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                        ${SAMPLE} --output ${WORK}/lesson.zip --count 6 --width 320 --height 180
                RESULT_VARIABLE code OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "make-sample-track: exit ${code}\n${err}")
endif()

set(launcher)
if("$ENV{DISPLAY}" STREQUAL "")
    set(launcher xvfb-run -a -s "-screen 0 1920x1080x24")
endif()
execute_process(COMMAND ${launcher} ${RENDER} --package ${WORK}/lesson.zip --output ${WORK}/png
                        --select 2
                RESULT_VARIABLE code OUTPUT_VARIABLE printed ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "reelwright-render: exit ${code}\n${err}")
endif()

foreach(name main-window player-cover player-entry)
    set(png ${WORK}/png/${name}.png)
    string(FIND "${printed}" "${png}" at)
    if(at LESS 0)
        message(FATAL_ERROR "reelwright-render did not print ${png}:\n${printed}")
    endif()
    # PNG signature, then the IHDR chunk with width and height.
    file(READ ${png} header LIMIT 24 HEX)
    string(SUBSTRING "${header}" 0 16 signature)
    if(NOT signature STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "${png} is no PNG file")
    endif()
    string(SUBSTRING "${header}" 32 8 width)
    string(SUBSTRING "${header}" 40 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(width LESS 640 OR height LESS 480)
        message(FATAL_ERROR "${png} is ${width}x${height}, no full window")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
