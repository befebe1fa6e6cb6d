set(CMAKE_C_COMPILER ${MR_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MR_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MR_TRIPLE}-windres)
set(CMAKE_OBJCOPY ${MR_TRIPLE}-objcopy)
set(CMAKE_STRIP ${MR_TRIPLE}-strip)
set(CMAKE_FIND_ROOT_PATH /usr/${MR_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A static runtime: the exe must run on a bare Windows without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# ctest runs the cross-built test programs through Wine (scripts/test sets up the prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${MR_WINE_LOADER})
