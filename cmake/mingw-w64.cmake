# Cross-compiles the Windows side with MinGW-w64 so it never rots.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# No link time in the PE header: two builds of one tree give the same bytes. (The strip of
# the packages writes SOURCE_DATE_EPOCH there, or the time of the strip without it.)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
# GCC 12 for MinGW reports a false -Wrestrict on std::string assignment from a literal at -O2
# (GCC bug 105329, fixed in GCC 13); the native build does not hit it.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
