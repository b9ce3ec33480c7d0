# cmake -DOBJDUMP=<objdump> -DFOLDER=<installed folder>
#       [-DBUILD=<build> -DCOMPONENT=<name> -DPREFIX=<prefix>] -P check_folder_imports.cmake
# With BUILD, PREFIX is first made anew by `cmake --install BUILD --component COMPONENT`
# (FOLDER lies inside it).
# Every PE file of a folder that must run on a bare Windows imports only DLLs that Windows
# itself has or that lie in the folder's top level, beside the program (where Windows looks
# for the DLLs of the program and of the plug-ins it loads). Names compare without case;
# api-ms-win-* sets and the MSVC runtimes count as missing.
cmake_minimum_required(VERSION 3.25)

# DLLs of every Windows since 7, each documented as a part of the system.
set(system_dlls advapi32 comctl32 comdlg32 crypt32 d3d9 d3d11 dnsapi dwmapi dxgi gdi32 imm32 iphlpapi
                kernel32 mpr msvcrt netapi32 ole32 oleaut32 opengl32 setupapi shell32 shlwapi
                user32 userenv uxtheme version winmm winspool ws2_32 wtsapi32)

if(BUILD)
    file(REMOVE_RECURSE ${PREFIX})
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --component ${COMPONENT}
                            --prefix ${PREFIX} OUTPUT_QUIET RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "folder-imports: cmake --install ${BUILD} failed")
    endif()
endif()
file(GLOB_RECURSE files LIST_DIRECTORIES false ${FOLDER}/*.exe ${FOLDER}/*.dll)
if(NOT files)
    message(FATAL_ERROR "folder-imports: no PE file in ${FOLDER}")
endif()
file(GLOB shipped RELATIVE ${FOLDER} ${FOLDER}/*.dll)
string(TOLOWER "${shipped}" shipped)

set(refused 0)
set(checked 0)
foreach(file IN LISTS files)
    file(RELATIVE_PATH name ${FOLDER} ${file})
    execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump ERROR_VARIABLE errors
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "folder-imports: ${OBJDUMP} -p ${name} failed: ${errors}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    foreach(line IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
        string(STRIP "${dll}" dll)
        string(TOLOWER "${dll}" lower)
        string(REGEX REPLACE "[.](dll|drv)$" "" base "${lower}")
        if(lower IN_LIST shipped OR base IN_LIST system_dlls)
            continue()
        endif()
        message("folder-imports: ${name} imports ${dll}: neither shipped nor part of Windows")
        math(EXPR refused "${refused} + 1")
    endforeach()
    math(EXPR checked "${checked} + 1")
endforeach()
if(refused GREATER 0)
    message(FATAL_ERROR "folder-imports: failed, ${refused} import(s) would not load")
endif()
message("folder-imports: ${checked} PE files, every import shipped or part of Windows")
