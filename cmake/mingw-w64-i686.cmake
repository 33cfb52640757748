# Cross toolchain for the 32-bit Windows build with Debian's mingw-w64: the
# program Kelvarin ships as.
set(KELVARIN_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
