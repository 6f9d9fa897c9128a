# Installs the current build into a fresh prefix, builds the consumer project against that
# prefix alone and runs it. Any failing step fails the test.
#
#   cmake -DTEV_BINARY_DIR=<build> -DTEV_CONSUMER_SOURCE=<tests/consumer> -DTEV_WORK_DIR=<dir>
#         -DTEV_GENERATOR=<generator> -DTEV_CXX_COMPILER=<compiler> [-DTEV_MAKE_PROGRAM=<tool>]
#         [-DTEV_BUILD_TYPE=<config>] [-DTEV_SOURCE_DIR=<source>] [-DTEV_SANITIZE=ON]
#         [-DTEV_QT5_DIR=<dir>] -P run_consumer_test.cmake
#
# The consumer runs with LD_LIBRARY_PATH unset: it must find the installed libraries through
# RPATH alone, its own (CMake points a build-tree binary at the directories of the libraries it
# links, here <prefix>/lib) and that of the installed libraries ($ORIGIN), which is the only way
# the archive client, a private dependency of the library, is found.

foreach(required TEV_BINARY_DIR TEV_CONSUMER_SOURCE TEV_WORK_DIR TEV_GENERATOR TEV_CXX_COMPILER)
    if(NOT ${required})
        message(FATAL_ERROR "run_consumer_test.cmake needs -D${required}=...")
    endif()
endforeach()

function(run_step what)
    execute_process(COMMAND ${ARGN}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${output}")
    endif()
    set(step_output "${output}" PARENT_SCOPE)
endfunction()

set(prefix ${TEV_WORK_DIR}/prefix)
set(build ${TEV_WORK_DIR}/build)
file(REMOVE_RECURSE ${TEV_WORK_DIR})
file(MAKE_DIRECTORY ${TEV_WORK_DIR})

set(config_args "")
if(TEV_BUILD_TYPE)
    set(config_args --config ${TEV_BUILD_TYPE})
endif()

run_step("Installing ${TEV_BINARY_DIR}"
    ${CMAKE_COMMAND} --install ${TEV_BINARY_DIR} --prefix ${prefix} ${config_args})

# The package files must not lead back into the trees the package was made from.
file(GLOB_RECURSE package_files ${prefix}/*.cmake)
if(NOT package_files)
    message(FATAL_ERROR "The installation holds no CMake package files")
endif()
foreach(file ${package_files})
    file(READ ${file} text)
    foreach(tree ${TEV_BINARY_DIR} ${TEV_SOURCE_DIR})
        string(FIND "${text}" "${tree}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${file} names ${tree}")
        endif()
    endforeach()
endforeach()

set(configure_args
    -S ${TEV_CONSUMER_SOURCE} -B ${build} -G ${TEV_GENERATOR}
    -DCMAKE_CXX_COMPILER=${TEV_CXX_COMPILER}
    -DCMAKE_PREFIX_PATH=${prefix}
    -DTEV_EXPECTED_PREFIX=${prefix})
if(TEV_MAKE_PROGRAM)
    list(APPEND configure_args -DCMAKE_MAKE_PROGRAM=${TEV_MAKE_PROGRAM})
endif()
if(TEV_BUILD_TYPE)
    list(APPEND configure_args -DCMAKE_BUILD_TYPE=${TEV_BUILD_TYPE})
endif()
if(TEV_QT5_DIR)
    list(APPEND configure_args -DQt5_DIR=${TEV_QT5_DIR})
endif()
if(TEV_SANITIZE)
    # The sanitizer runtime has to come first in the process, so the program links it too.
    list(APPEND configure_args "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
        "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
run_step("Configuring the consumer" ${CMAKE_COMMAND} ${configure_args})
run_step("Building the consumer" ${CMAKE_COMMAND} --build ${build} ${config_args})

set(program ${build}/consumer)
if(NOT EXISTS ${program} AND TEV_BUILD_TYPE)
    set(program ${build}/${TEV_BUILD_TYPE}/consumer)
endif()
run_step("Running the consumer"
    ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen ${program})
if(NOT step_output MATCHES "(^|\n)OK\n")
    message(FATAL_ERROR "The consumer did not report OK:\n${step_output}")
endif()
message(STATUS "The consumer built against ${prefix} and ran: OK")
