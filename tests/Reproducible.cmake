# Builds the program again, from a copy of the source at another path into another build
# folder, and compares the bytes with EXPECTED: nothing in them may depend on the folders
# or the clock. Run by CTest: cmake -DSOURCE=... -DBINARY=... -DWORK=... -DGENERATOR=...
# -DTOOLCHAIN=... -DBUILD_TYPE=... -DEXPECTED=... -P Reproducible.cmake
file(REMOVE_RECURSE "${WORK}")

# Everything but version control and build folders.
file(GLOB entries RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(entry IN LISTS entries)
    get_filename_component(full "${SOURCE}/${entry}" ABSOLUTE)
    if(entry MATCHES "^(\\.|build)" OR full STREQUAL BINARY)
        continue()
    endif()
    file(COPY "${SOURCE}/${entry}" DESTINATION "${WORK}/source")
endforeach()

set(toolchain "")
if(TOOLCHAIN)
    file(RELATIVE_PATH inside "${SOURCE}" "${TOOLCHAIN}")
    if(inside MATCHES "^\\.\\./" OR IS_ABSOLUTE "${inside}")
        set(toolchain "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
    else()
        set(toolchain "-DCMAKE_TOOLCHAIN_FILE=${WORK}/source/${inside}")
    endif()
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -S "${WORK}/source" -B "${WORK}/build" -G "${GENERATOR}"
        ${toolchain} -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
    message(FATAL_ERROR "The second configuration failed:\n${log}")
endif()
cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK}/build" --target Quorvane --parallel ${jobs}
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
    message(FATAL_ERROR "The second build failed:\n${log}")
endif()

set(second "${WORK}/build/bin/Quorvane.exe")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${EXPECTED}" "${second}" RESULT_VARIABLE differ)
if(differ)
    file(SIZE "${EXPECTED}" size1)
    file(SIZE "${second}" size2)
    set(detail "")
    find_program(CMP cmp)
    if(CMP)  # offset (from 1) and the two bytes, in octal
        execute_process(COMMAND "${CMP}" -l "${EXPECTED}" "${second}" OUTPUT_VARIABLE detail ERROR_QUIET)
        string(REPLACE "\n" ";" detail "${detail}")
        list(SUBLIST detail 0 8 detail)
        list(JOIN detail "\n" detail)
    endif()
    message(FATAL_ERROR "${EXPECTED} (${size1} bytes) and ${second} (${size2} bytes) differ:\n${detail}")
endif()
message(STATUS "${EXPECTED} and ${second} are the same bytes")
