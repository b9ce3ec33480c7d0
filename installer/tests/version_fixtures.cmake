# PE files with hand-written version resources, built at test-build time so that our POSIX
# reader (native tests) and the real Windows calls (cross build under Wine) are checked against
# the same files and one expected table. They land in FERRYLIFT_VERSION_FIXTURE_DIR; the
# target version_fixtures builds them, FERRYLIFT_VERSION_FIXTURES_BUILT says whether it can.
set(FERRYLIFT_VERSION_FIXTURES_BUILT OFF)
set(FERRYLIFT_VERSION_FIXTURE_DIR ${CMAKE_CURRENT_BINARY_DIR}/version-fixtures)
set(_fixture_src ${CMAKE_CURRENT_LIST_DIR}/fixtures/version)
# <name> is built from <name>.rc; no_resource has none.
set(_fixture_names full no_copyright no_translation two_translations not_id_one two_languages
                   german_english no_resource)
# No C runtime: a few kilobytes per file, and nothing but the entry point to link.
set(_fixture_link_flags -Os -s -nostdlib -Wl,-e,FixtureStart)

if(WIN32)
    # Cross build: the project's own toolchain compiles the resources and links the files.
    set(_fixture_targets)
    foreach(name IN LISTS _fixture_names)
        set(sources ${_fixture_src}/fixture_main.c)
        if(EXISTS ${_fixture_src}/${name}.rc)
            list(APPEND sources ${_fixture_src}/${name}.rc)
        endif()
        add_executable(version_fixture_${name} ${sources})
        set_target_properties(version_fixture_${name} PROPERTIES
            OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${FERRYLIFT_VERSION_FIXTURE_DIR})
        target_link_options(version_fixture_${name} PRIVATE ${_fixture_link_flags})
        list(APPEND _fixture_targets version_fixture_${name})
    endforeach()
    add_custom_target(version_fixtures DEPENDS ${_fixture_targets})
    set(FERRYLIFT_VERSION_FIXTURES_BUILT ON)
    return()
endif()

# Native build: the MinGW-w64 tools of scripts/packages/windows.txt, called directly.
find_program(FERRYLIFT_MINGW_WINDRES x86_64-w64-mingw32-windres)
find_program(FERRYLIFT_MINGW_CC x86_64-w64-mingw32-gcc)
if(NOT FERRYLIFT_MINGW_WINDRES OR NOT FERRYLIFT_MINGW_CC)
    message(STATUS "Version fixtures: x86_64-w64-mingw32-windres or -gcc not found "
                   "(scripts/packages/windows.txt); the tests over PE fixtures are skipped")
    return()
endif()

set(_fixture_obj ${CMAKE_CURRENT_BINARY_DIR}/version-fixtures-obj)
set(_fixture_files)
foreach(name IN LISTS _fixture_names)
    set(exe ${FERRYLIFT_VERSION_FIXTURE_DIR}/${name}.exe)
    set(objects)
    set(commands)
    set(depends ${_fixture_src}/fixture_main.c)
    if(EXISTS ${_fixture_src}/${name}.rc)
        set(res ${_fixture_obj}/${name}.res.o)
        list(APPEND objects ${res})
        list(APPEND depends ${_fixture_src}/${name}.rc)
        set(commands COMMAND ${FERRYLIFT_MINGW_WINDRES} ${_fixture_src}/${name}.rc -O coff -o ${res})
    endif()
    add_custom_command(OUTPUT ${exe}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_fixture_obj} ${FERRYLIFT_VERSION_FIXTURE_DIR}
        ${commands}
        COMMAND ${FERRYLIFT_MINGW_CC} ${_fixture_link_flags} ${_fixture_src}/fixture_main.c
                ${objects} -o ${exe}
        DEPENDS ${depends}
        COMMENT "Version fixture ${name}.exe"
        VERBATIM)
    list(APPEND _fixture_files ${exe})
endforeach()
add_custom_target(version_fixtures DEPENDS ${_fixture_files})
set(FERRYLIFT_VERSION_FIXTURES_BUILT ON)
