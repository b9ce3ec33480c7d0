# Test programs of the installer (tests/ and package_format/tests/). CTest names start with
# "installer.": installer.<program> under Wine, installer.<program>.<Suite>.<Case> natively
# (see tideboard_add_gtest). Test sources end in "_test.cpp"; a program is named after its file.

# ferrylift_add_tests(<source>... LINK_LIBRARIES <lib>... [COMPILE_DEFINITIONS <def>...]
#                     [VERSION_RESOURCE])
# One test program per source, named after the file. VERSION_RESOURCE gives each program the
# installer's version resource under its own name, so a copy of it can serve as a package.
function(ferrylift_add_tests)
    cmake_parse_arguments(ARG "VERSION_RESOURCE" "" "LINK_LIBRARIES;COMPILE_DEFINITIONS"
                          ${ARGN})
    foreach(source IN LISTS ARG_UNPARSED_ARGUMENTS)
        get_filename_component(name ${source} NAME_WE)
        tideboard_add_gtest(${name} PROGRAM installer SOURCES ${source}
                            LIBS ${ARG_LINK_LIBRARIES})
        target_compile_definitions(${name} PRIVATE ${ARG_COMPILE_DEFINITIONS})
        if(ARG_VERSION_RESOURCE)
            ferrylift_add_version_resource(${name} NAME ${name})
        endif()
    endforeach()
endfunction()
