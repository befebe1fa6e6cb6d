# Cross-compile for 64-bit Windows with MinGW-w64 (posix threads model, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MR_TRIPLE x86_64-w64-mingw32)
# ctest runs the test programs through the 64-bit loader: plain `wine` would put
# a 32-bit loader process in front of them once 32-bit Wine is installed.
if(EXISTS /usr/lib/wine/wine64)
  set(MR_WINE_LOADER /usr/lib/wine/wine64)
else()
  set(MR_WINE_LOADER wine)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
