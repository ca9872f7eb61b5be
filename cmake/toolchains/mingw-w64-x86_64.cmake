# 64-bit Windows: the same code, for the tests that run under Wine here.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VUXA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
