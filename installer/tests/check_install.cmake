# cmake -DBUILD_DIR=<windows build> -DOBJDUMP=<objdump> -DVERSION=<product version> -DWORK=<dir>
#       -P check_install.cmake
# Installs the Windows build into WORK/prefix and packs it with CPack, then checks what a
# release hands on: the program without symbols or DWARF but with its resources and a
# .gnu_debuglink naming the .debug file installed beside it, which holds the DWARF; the ZIP
# of what ships holds no debug information, the debug ZIP holds it.
cmake_minimum_required(VERSION 3.25)

function(check condition_text)
    if(${ARGN})
        return()
    endif()
    message(FATAL_ERROR "install check: ${condition_text}")
endfunction()

function(sections file out)
    execute_process(COMMAND ${OBJDUMP} -h ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
    check("${OBJDUMP} -h ${file} failed" result EQUAL 0)
    string(REGEX MATCHALL "\n *[0-9]+ [.][a-z_]+" names "${dump}")
    list(TRANSFORM names REPLACE "\n *[0-9]+ " "")
    set(${out} ${names} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix
                RESULT_VARIABLE result)
check("cmake --install failed" result EQUAL 0)

set(program ${WORK}/prefix/bin/ferrylift.exe)
set(debug ${WORK}/prefix/bin/ferrylift.exe.debug)
check("no bin/ferrylift.exe" EXISTS ${program})
check("no bin/ferrylift.exe.debug" EXISTS ${debug})
check("no third-party-notices.txt" EXISTS ${WORK}/prefix/third-party-notices.txt)

sections(${program} program_sections)
message("ferrylift.exe sections: ${program_sections}")
check("ferrylift.exe has no .gnu_debuglink" ".gnu_debuglink" IN_LIST program_sections)
check("ferrylift.exe lost its resources" ".rsrc" IN_LIST program_sections)
check("ferrylift.exe still has .debug_info" NOT ".debug_info" IN_LIST program_sections)
execute_process(COMMAND ${OBJDUMP} -t ${program} OUTPUT_VARIABLE symbols)
check("ferrylift.exe still has symbols" NOT symbols MATCHES "\\[ *[0-9]+\\]")

sections(${debug} debug_sections)
check("ferrylift.exe.debug has no .debug_info" ".debug_info" IN_LIST debug_sections)

execute_process(COMMAND ${OBJDUMP} -s -j .gnu_debuglink ${program} OUTPUT_VARIABLE link)
check("the debug link does not name ferrylift.exe.debug" link MATCHES "ferrylift[.]exe[.]de")

execute_process(COMMAND cpack -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake
                        -B ${WORK}/packages
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
check("cpack -G ZIP failed:\n${out}" result EQUAL 0)
foreach(zip ${WORK}/packages/ferrylift-${VERSION}-win64.zip
            ${WORK}/packages/ferrylift-${VERSION}-win64-debug.zip)
    check("cpack made no ${zip}:\n${out}" EXISTS ${zip})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE listing)
    get_filename_component(name ${zip} NAME)
    message("${name}:\n${listing}")
    if(name MATCHES "-debug[.]zip$")
        check("${name} lacks the debug file" listing MATCHES "bin/ferrylift[.]exe[.]debug")
        check("${name} holds the program" NOT listing MATCHES "bin/ferrylift[.]exe\n")
    else()
        check("${name} lacks the program" listing MATCHES "bin/ferrylift[.]exe\n")
        check("${name} lacks the notices" listing MATCHES "third-party-notices[.]txt")
        check("${name} holds debug information" NOT listing MATCHES "[.]debug")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
