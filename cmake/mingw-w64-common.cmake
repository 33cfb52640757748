# What both mingw-w64 toolchains share; KELVARIN_TRIPLE names the target.
# The -posix thread model is needed: GoogleTest uses std::mutex, which the
# win32 thread model does not provide.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KELVARIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVARIN_TRIPLE}-windres)
set(CMAKE_STRIP ${KELVARIN_TRIPLE}-strip)
set(CMAKE_OBJDUMP ${KELVARIN_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVARIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run through Wine on the build machine.
find_program(KELVARIN_WINE NAMES wine wine-stable)
if(KELVARIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KELVARIN_WINE})
endif()
