# minizip (unzip and zip interfaces) over zlib, as the target `minizip`.
#   native:  Debian's libminizip-dev and zlib1g-dev through pkg-config
#   Windows: compiled here from the contrib/minizip folder of Debian's zlib source package
#            (build/sources/minizip, fetched by scripts/setup.d), over the static zlib of
#            libz-mingw-w64-dev: the program must start where no zlib1.dll exists
include_guard(GLOBAL)

if(NOT CMAKE_CROSSCOMPILING)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(FERRYLIFT_MINIZIP REQUIRED IMPORTED_TARGET minizip zlib)
    add_library(minizip INTERFACE)
    target_link_libraries(minizip INTERFACE PkgConfig::FERRYLIFT_MINIZIP)
    return()
endif()

set(FERRYLIFT_SOURCES_DIR ${CMAKE_SOURCE_DIR}/build/sources CACHE PATH
    "Third-party sources fetched by scripts/install-deps")
# A configure before the sources arrived must not keep its empty answer: a value that holds
# no unzip.c is dropped and looked for again.
if(DEFINED CACHE{FERRYLIFT_MINIZIP_SOURCE_DIR}
   AND NOT EXISTS "${FERRYLIFT_MINIZIP_SOURCE_DIR}/unzip.c")
    unset(FERRYLIFT_MINIZIP_SOURCE_DIR CACHE)
endif()
find_path(FERRYLIFT_MINIZIP_SOURCE_DIR unzip.c PATHS ${FERRYLIFT_SOURCES_DIR}/minizip
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH DOC "contrib/minizip of the zlib source package")
if(NOT FERRYLIFT_MINIZIP_SOURCE_DIR)
    message(FATAL_ERROR "minizip sources not found in ${FERRYLIFT_SOURCES_DIR}/minizip; run "
                        "scripts/install-deps (it fetches the zlib source package), then "
                        "configure again")
endif()

# A cache from before zlib was linked statically may still name the import library.
foreach(variable ZLIB_LIBRARY ZLIB_LIBRARY_RELEASE ZLIB_LIBRARY_DEBUG)
    if("${${variable}}" MATCHES "\\.dll\\.a$")
        unset(${variable} CACHE)
    endif()
endforeach()
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

add_library(minizip STATIC ${FERRYLIFT_MINIZIP_SOURCE_DIR}/ioapi.c
                           ${FERRYLIFT_MINIZIP_SOURCE_DIR}/unzip.c
                           ${FERRYLIFT_MINIZIP_SOURCE_DIR}/zip.c)
target_include_directories(minizip SYSTEM PUBLIC ${FERRYLIFT_MINIZIP_SOURCE_DIR})
# Not our code: its warnings are not ours to fix.
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
