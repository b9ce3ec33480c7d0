# cmake -DTOOL=<make-sample-track> -DWORK=<scratch folder> -P cli_check.cmake
# The tool's command line as scripts meet it: --help does nothing else and
# succeeds, a usage error prints the usage on stderr and exits 2, a package
# that cannot be written exits 1, a good call writes the package it names.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# run(<expected exit code> <argument>...): runs the tool in WORK; leaves its
# output in `out` and `err`.
macro(run expected)
    execute_process(COMMAND ${TOOL} ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE code
                    OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code STREQUAL "${expected}")
        message(FATAL_ERROR "make-sample-track ${ARGN}: exit ${code}, expected ${expected}\n"
                            "stdout: ${out}\nstderr: ${err}")
    endif()
endmacro()

function(expect_contains text what label)
    string(FIND "${text}" "${what}" at)
    if(at LESS 0)
        message(FATAL_ERROR "${label} lacks \"${what}\":\n${text}")
    endif()
endfunction()

function(expect_nothing_written)
    foreach(path help.zip help.zip.staging x.zip x.zip.staging)
        if(EXISTS ${WORK}/${path})
            message(FATAL_ERROR "written: ${path}")
        endif()
    endforeach()
endfunction()

# --help, even with a package named, prints the usage on stdout and writes nothing.
run(0 --help --output help.zip)
expect_contains("${out}" "--output" "help text")
expect_nothing_written()

# Usage errors: the usage goes to stderr, nothing to stdout, nothing is written.
foreach(arguments "--bogus" "--output;x.zip;stray" "--count;3" "--output;x.zip;--count;many")
    run(2 ${arguments})
    expect_contains("${err}" "Usage:" "stderr of ${arguments}")
    if(NOT out STREQUAL "")
        message(FATAL_ERROR "make-sample-track ${arguments} printed on stdout: ${out}")
    endif()
    expect_nothing_written()
endforeach()

# A package below a plain file cannot be written.
file(WRITE ${WORK}/plain "")
run(1 --output plain/lesson.zip --count 2 --width 32 --height 24)
expect_contains("${err}" "make-sample-track:" "stderr")
file(REMOVE ${WORK}/plain)

# A good call prints the package's path and writes the track folder into it.
run(0 --output lesson.zip --count 3 --width 64 --height 48)
expect_contains("${out}" "lesson.zip" "stdout")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${WORK}/lesson.zip RESULT_VARIABLE listed
                OUTPUT_VARIABLE names)
if(NOT listed EQUAL 0)
    message(FATAL_ERROR "lesson.zip cannot be listed")
endif()
foreach(name lesson/tracks.xml lesson/res/slide0001.jpg lesson/res/slide0003.jpg)
    expect_contains("${names}" "${name}" "lesson.zip")
endforeach()
file(REMOVE_RECURSE ${WORK})
