# The cross build: a native ferrylift-pack is built beside it (the packager runs on the build
# machine) to pack and sign the cross-built installer, whose packages then install under Wine.
if(NOT TIDEBOARD_BUILD_TESTS OR TIDEBOARD_FUZZ OR NOT TARGET ferrylift OR NOT TARGET sequence_probe)
    return()
endif()

include(ExternalProject)
set(host_tools ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(ferrylift_pack_host
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${host_tools}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DTIDEBOARD_BUILD_TESTS=OFF -DTIDEBOARD_BUILD_EDITOR=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools} --target ferrylift-pack
    BUILD_BYPRODUCTS ${host_tools}/bin/ferrylift-pack
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)

add_test(NAME tools.ferrylift-pack.wine-signed-package
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/signed-package-wine.sh
                 ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:ferrylift>
                 ${host_tools}/bin/ferrylift-pack ${CMAKE_BINARY_DIR}/sequence-fixtures)
set_tests_properties(tools.ferrylift-pack.wine-signed-package PROPERTIES TIMEOUT 600)

add_test(NAME tools.ferrylift-pack.wine-delta
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/delta-e2e.sh wine ${CMAKE_SOURCE_DIR}/scripts/wine-run
                 $<TARGET_FILE:ferrylift> ${host_tools}/bin/ferrylift-pack
                 ${CMAKE_BINARY_DIR}/sequence-fixtures ${CMAKE_SOURCE_DIR}/tools/make-sample-suite)
set_tests_properties(tools.ferrylift-pack.wine-delta PROPERTIES TIMEOUT 900)
