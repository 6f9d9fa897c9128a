# Installs the current build into a fresh prefix, builds the consumer project against that
# prefix alone and runs it. Any failing step fails the test.
#
#   cmake -DTEV_BINARY_DIR=<build> -DTEV_CONSUMER_SOURCE=<tests/consumer> -DTEV_WORK_DIR=<dir>
#         -DTEV_GENERATOR=<generator> -DTEV_CXX_COMPILER=<compiler> [-DTEV_MAKE_PROGRAM=<tool>]
#         [-DTEV_BUILD_TYPE=<config>] [-DTEV_SOURCE_DIR=<source>] [-DTEV_SANITIZE=ON]
#         [-DTEV_QT_MAJOR_VERSION=5|6] [-DTEV_QT_DIR=<dir>] [-DTEV_BESIDE_BINARY_DIR=<build>]
#         -P run_consumer_test.cmake
#
# TEV_BESIDE_BINARY_DIR names a build of the other Qt major version: it is brought up to date,
# installed into the same prefix, no file of one package may be a file of the other, and a
# consumer is built and run against each package.
#
# The consumer runs with LD_LIBRARY_PATH unset: it must find the installed libraries through
# RPATH alone, its own (CMake points a build-tree binary at the directories of the libraries it
# links, here <prefix>/lib) and that of the installed libraries ($ORIGIN), which is the only way
# the archive client, a private dependency of the library, is found.

cmake_minimum_required(VERSION 3.16)

foreach(required TEV_BINARY_DIR TEV_CONSUMER_SOURCE TEV_WORK_DIR TEV_GENERATOR TEV_CXX_COMPILER)
    if(NOT ${required})
        message(FATAL_ERROR "run_consumer_test.cmake needs -D${required}=...")
    endif()
endforeach()
if(NOT TEV_QT_MAJOR_VERSION)
    set(TEV_QT_MAJOR_VERSION 5)
endif()

function(run_step what)
    execute_process(COMMAND ${ARGN}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${output}")
    endif()
    set(step_output "${output}" PARENT_SCOPE)
endfunction()

# install_build(<build> <prefix> <config> <out: installed files, relative to prefix>)
function(install_build binary_dir prefix config out)
    set(config_args "")
    if(config)
        set(config_args --config ${config})
    endif()
    file(REMOVE_RECURSE ${prefix})
    run_step("Installing ${binary_dir}"
        ${CMAKE_COMMAND} --install ${binary_dir} --prefix ${prefix} ${config_args})
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${prefix} ${prefix}/*)
    set(${out} ${files} PARENT_SCOPE)
endfunction()

# build_and_run_consumer(<name> <Qt major> <Qt dir> <config> <sanitize>)
function(build_and_run_consumer name major qt_dir config sanitize)
    set(build ${TEV_WORK_DIR}/${name})
    set(configure_args
        -S ${TEV_CONSUMER_SOURCE} -B ${build} -G ${TEV_GENERATOR}
        -DCMAKE_CXX_COMPILER=${TEV_CXX_COMPILER}
        -DCMAKE_PREFIX_PATH=${prefix}
        -DTEV_EXPECTED_PREFIX=${prefix}
        -DQT_MAJOR_VERSION=${major})
    if(TEV_MAKE_PROGRAM)
        list(APPEND configure_args -DCMAKE_MAKE_PROGRAM=${TEV_MAKE_PROGRAM})
    endif()
    set(config_args "")
    if(config)
        list(APPEND configure_args -DCMAKE_BUILD_TYPE=${config})
        set(config_args --config ${config})
    endif()
    if(qt_dir)
        list(APPEND configure_args -DQt${major}_DIR=${qt_dir})
    endif()
    if(sanitize)
        # The sanitizer runtime has to come first in the process, so the program links it too.
        list(APPEND configure_args "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
            "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
    endif()
    run_step("Configuring the Qt ${major} consumer" ${CMAKE_COMMAND} ${configure_args})
    run_step("Building the Qt ${major} consumer" ${CMAKE_COMMAND} --build ${build} ${config_args})

    set(program ${build}/consumer)
    if(NOT EXISTS ${program} AND config)
        set(program ${build}/${config}/consumer)
    endif()
    run_step("Running the Qt ${major} consumer"
        ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen ${program})
    if(NOT step_output MATCHES "(^|\n)OK\n")
        message(FATAL_ERROR "The Qt ${major} consumer did not report OK:\n${step_output}")
    endif()
    message(STATUS "The Qt ${major} consumer built against ${prefix} and ran: OK")
endfunction()

set(prefix ${TEV_WORK_DIR}/prefix)
file(REMOVE_RECURSE ${TEV_WORK_DIR})
file(MAKE_DIRECTORY ${TEV_WORK_DIR})

install_build(${TEV_BINARY_DIR} ${prefix} "${TEV_BUILD_TYPE}" ours)
set(trees ${TEV_BINARY_DIR} ${TEV_SOURCE_DIR})

if(TEV_BESIDE_BINARY_DIR)
    set(beside ${TEV_BESIDE_BINARY_DIR})
    if(NOT EXISTS ${beside}/CMakeCache.txt)
        message(FATAL_ERROR "${beside} is not a configured build folder")
    endif()
    foreach(entry QT_MAJOR_VERSION CMAKE_BUILD_TYPE TEV_SANITIZE CMAKE_HOME_DIRECTORY)
        file(STRINGS ${beside}/CMakeCache.txt line REGEX "^${entry}:[A-Z]+=")
        string(REGEX REPLACE "^[^=]*=" "" beside_${entry} "${line}")
    endforeach()
    if(NOT beside_QT_MAJOR_VERSION)
        set(beside_QT_MAJOR_VERSION 5) # a build folder from before the choice existed
    endif()
    if(beside_QT_MAJOR_VERSION EQUAL TEV_QT_MAJOR_VERSION)
        message(FATAL_ERROR "${beside} is a Qt ${TEV_QT_MAJOR_VERSION} build, like this one")
    endif()
    set(beside_major ${beside_QT_MAJOR_VERSION})
    file(STRINGS ${beside}/CMakeCache.txt line REGEX "^Qt${beside_major}_DIR:[A-Z]+=")
    string(REGEX REPLACE "^[^=]*=" "" beside_qt_dir "${line}")

    # Only what the package holds is built: the library and the components it links.
    run_step("Building the library in ${beside}"
        ${CMAKE_COMMAND} --build ${beside} --target TevFrameBase)
    install_build(${beside} ${TEV_WORK_DIR}/beside-only "${beside_CMAKE_BUILD_TYPE}" theirs)
    set(shared "")
    foreach(file ${ours})
        if(file IN_LIST theirs)
            list(APPEND shared ${file})
        endif()
    endforeach()
    if(shared)
        string(REPLACE ";" "\n  " shared "${shared}")
        message(FATAL_ERROR "Both packages install these files:\n  ${shared}")
    endif()
    # Now into the prefix of this build's package, so that the two are found side by side.
    run_step("Installing ${beside} beside"
        ${CMAKE_COMMAND} --install ${beside} --prefix ${prefix})
    list(APPEND trees ${beside} ${beside_CMAKE_HOME_DIRECTORY})
endif()

# The package files must not lead back into the trees the packages were made from.
file(GLOB_RECURSE package_files ${prefix}/*.cmake)
if(NOT package_files)
    message(FATAL_ERROR "The installation holds no CMake package files")
endif()
foreach(file ${package_files})
    file(READ ${file} text)
    foreach(tree ${trees})
        string(FIND "${text}" "${tree}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${file} names ${tree}")
        endif()
    endforeach()
endforeach()

build_and_run_consumer(build ${TEV_QT_MAJOR_VERSION} "${TEV_QT_DIR}" "${TEV_BUILD_TYPE}"
    "${TEV_SANITIZE}")
if(TEV_BESIDE_BINARY_DIR)
    build_and_run_consumer(build-beside ${beside_major} "${beside_qt_dir}"
        "${beside_CMAKE_BUILD_TYPE}" "${beside_TEV_SANITIZE}")
endif()
