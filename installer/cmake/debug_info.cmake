# ferrylift_split_debug_info(<target>): after each link, FERRYLIFT_STRIPPED_DIR holds the
# program without symbols and DWARF sections and <file>.debug with them, linked from the
# program by .gnu_debuglink (a debugger looks for that name beside the program). The program
# in bin/ keeps everything for the tests.
include_guard(GLOBAL)

function(ferrylift_split_debug_info target)
    if(NOT CMAKE_OBJCOPY)
        message(FATAL_ERROR "no objcopy for ${target}'s separate debug information")
    endif()
    set(stripped_dir ${CMAKE_CURRENT_BINARY_DIR}/stripped)
    file(MAKE_DIRECTORY ${stripped_dir})
    set(program $<TARGET_FILE:${target}>)
    set(debug_file $<TARGET_FILE_NAME:${target}>.debug)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${program} ${stripped_dir}/${debug_file}
        COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug_file} ${program}
                ${stripped_dir}/$<TARGET_FILE_NAME:${target}>
        WORKING_DIRECTORY ${stripped_dir}
        COMMENT "Splitting the debug information of ${target}"
        VERBATIM)
    set(FERRYLIFT_STRIPPED_DIR ${stripped_dir} PARENT_SCOPE)
endfunction()
