# Cross toolchain for Windows with mingw-w64 (posix threads). Included by the
# per-architecture files, which set PELINDRA_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)
set(CMAKE_C_COMPILER ${PELINDRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELINDRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PELINDRA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PELINDRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Self-contained executables: no libstdc++, libgcc or winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
