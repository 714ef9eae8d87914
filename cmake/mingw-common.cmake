# What both Windows cross-builds share, for the processor the including toolchain file
# names in CMAKE_SYSTEM_PROCESSOR (i686 or x86_64): Debian's mingw-w64 compilers of the
# posix thread model (the win32 model has no std::thread or std::mutex in GCC 12).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# GCC 12 reports false -Wrestrict overlaps inside std::u16string concatenation at -O2 and
# above (a known compiler fault); the warning says nothing about our code there.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
