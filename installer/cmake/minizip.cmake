# minizip (unzip and zip interfaces) over zlib, as the target `minizip`.
#   native:  Debian's libminizip-dev and zlib1g-dev through pkg-config
#   Windows: compiled here from the contrib/minizip folder of Debian's zlib source package
#            (fetched into build/sources by scripts/setup.d), over libz-mingw-w64-dev
if(CMAKE_CROSSCOMPILING)
    file(GLOB zlib_source_candidates LIST_DIRECTORIES true
         ${CMAKE_SOURCE_DIR}/build/sources/zlib-*/contrib/minizip)
    list(SORT zlib_source_candidates)
    list(GET zlib_source_candidates -1 zlib_source_default)
    set(FERRYLIFT_MINIZIP_SOURCE_DIR "${zlib_source_default}" CACHE PATH
        "contrib/minizip of the zlib source package")
    if(NOT EXISTS "${FERRYLIFT_MINIZIP_SOURCE_DIR}/unzip.c")
        message(FATAL_ERROR "minizip sources not found; run scripts/install-deps "
                            "(it fetches the zlib source package into build/sources)")
    endif()
    find_package(ZLIB REQUIRED)
    add_library(minizip STATIC ${FERRYLIFT_MINIZIP_SOURCE_DIR}/ioapi.c
                               ${FERRYLIFT_MINIZIP_SOURCE_DIR}/unzip.c
                               ${FERRYLIFT_MINIZIP_SOURCE_DIR}/zip.c)
    target_include_directories(minizip SYSTEM PUBLIC ${FERRYLIFT_MINIZIP_SOURCE_DIR})
    # Not our code: its warnings are not ours to fix.
    target_compile_options(minizip PRIVATE -w)
    target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(FERRYLIFT_MINIZIP REQUIRED IMPORTED_TARGET minizip zlib)
    add_library(minizip INTERFACE)
    target_link_libraries(minizip INTERFACE PkgConfig::FERRYLIFT_MINIZIP)
endif()
target_link_libraries(ferrylift_support PUBLIC minizip)
