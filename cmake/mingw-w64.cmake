# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX thread model).
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DUPVANE_QT_DIR=<Qt for Windows>
#
# UPVANE_QT_DIR is a Qt 5.15 install prefix built for x86_64-w64-mingw32 with the
# same thread model (its bin/ holds the Windows DLLs and host tools that run here).
# scripts/build-windows finds or unpacks one and passes it in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(UPVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${UPVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UPVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${UPVANE_MINGW_TRIPLET}-windres)

# The toolchain file is read again for every try_compile: hand the Qt folder on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES UPVANE_QT_DIR)
if(NOT UPVANE_QT_DIR AND DEFINED ENV{UPVANE_QT_DIR})
    set(UPVANE_QT_DIR $ENV{UPVANE_QT_DIR})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${UPVANE_MINGW_TRIPLET} ${UPVANE_QT_DIR})
set(CMAKE_PREFIX_PATH ${UPVANE_QT_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

