# 32-bit Windows: the deliverables.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VUXA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
