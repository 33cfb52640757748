# Cross toolchain for the 64-bit test build. Kelvarin ships as the 32-bit
# program (mingw-w64-i686.cmake); this build of the same sources runs the
# tests on machines whose kernel cannot execute 32-bit programs, where only
# 64-bit Wine starts.
set(KELVARIN_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
