# cmake -DSOURCE_DIR=<project> -DTOOLCHAIN=<file> -DMINIZIP=<contrib/minizip> -DWORK=<dir>
#       -P check_configure_before_sources.cmake
# Configures the Windows build in WORK while its sources folder is empty (as before
# scripts/install-deps ran), then again in the same build folder once minizip is there.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/sources)
set(configure ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK}/build -G Ninja
    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release
    -DTIDEBOARD_BUILD_EDITOR=OFF -DTIDEBOARD_BUILD_TESTS=OFF -DFERRYLIFT_SOURCES_DIR=${WORK}/sources)

execute_process(COMMAND ${configure} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(result EQUAL 0)
    message(FATAL_ERROR "configure without minizip sources succeeded:\n${out}")
endif()
string(REGEX REPLACE "[ \n]+" " " flat "${out}")
if(NOT flat MATCHES "minizip sources not found.* run scripts/install-deps")
    message(FATAL_ERROR "configure without minizip sources did not say what to do:\n${out}")
endif()

file(CREATE_LINK ${MINIZIP} ${WORK}/sources/minizip SYMBOLIC)
execute_process(COMMAND ${configure} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "configure after the sources arrived failed:\n${out}")
endif()
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
message("configure failed with a hint before the sources, succeeded after")
