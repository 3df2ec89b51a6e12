# Cross-compiles the 32-bit Windows program with Debian's clang and lld, against the same
# mingw-w64 headers and libraries, and the same libstdc++, as the -posix gcc in mingw-i686.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET   ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_AR          ${TOOLCHAIN_PREFIX}-ar)
set(CMAKE_RANLIB      ${TOOLCHAIN_PREFIX}-ranlib)
set(CMAKE_SYSROOT /usr/${TOOLCHAIN_PREFIX})

# clang does not recognise Debian's gcc folder name ("12-posix") as a version, so it finds
# neither libstdc++'s headers nor its libraries by itself: ask the gcc where they are.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-g++-posix -print-libgcc-file-name
    OUTPUT_VARIABLE _quorvane_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(_quorvane_gcc_dir "${_quorvane_libgcc}" DIRECTORY)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
    ${_quorvane_gcc_dir}/include/c++ ${_quorvane_gcc_dir}/include/c++/${TOOLCHAIN_PREFIX})
# The -posix libgcc keeps thread-local data through winpthread; lld takes archives in any order.
foreach(_kind EXE SHARED MODULE)
    set(CMAKE_${_kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${_quorvane_gcc_dir} -lpthread")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests built here run under Wine; the wrapper sets the Wine environment.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-exec.sh)
