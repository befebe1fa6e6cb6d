# Cross-compile for 32-bit Windows: the build that runs on every Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MR_TRIPLE i686-w64-mingw32)
# 32-bit Windows enters window procedures, thread procedures and other callbacks
# with the stack aligned to 4 bytes only, while MinGW's i686 compiler assumes 16
# (it would place alignas(16) and SSE spill slots at misaligned addresses).
# Tell it the truth; it then realigns in the few functions that need more.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2")
# ctest runs the test programs through the 32-bit loader.
set(MR_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
