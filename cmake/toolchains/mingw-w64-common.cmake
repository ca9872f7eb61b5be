# Shared part of the mingw-w64 cross toolchains.  The including file sets
# VUXA_MINGW_TRIPLE (i686-w64-mingw32 or x86_64-w64-mingw32) and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The compilers with the POSIX thread model: their C++ library has
# std::thread and std::mutex, which the test programs (and GoogleTest) use.
# The DLLs link no C++ library, so the thread model does not reach them.
set(CMAKE_C_COMPILER ${VUXA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VUXA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VUXA_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VUXA_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VUXA_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_NM ${VUXA_MINGW_TRIPLE}-nm CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${VUXA_MINGW_TRIPLE}-dlltool CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${VUXA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No default system libraries on every link line: each target names the
# libraries it uses (the DLLs KERNEL32 alone), and the compiler driver adds
# the usual ones for ordinary programs.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
