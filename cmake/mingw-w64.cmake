# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Self-contained programs: no MinGW runtime DLLs to ship beside them (or to find under Wine).
# With Qt (VARNEL_WIN_SHARED_RUNTIME) the programs share the runtime DLLs that Qt's own DLLs
# load, so that one C++ runtime serves both.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VARNEL_WIN_SHARED_RUNTIME)
if(NOT VARNEL_WIN_SHARED_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
