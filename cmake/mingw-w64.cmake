# Cross-builds the Windows programs on Linux with MinGW-w64 against the static Qt that
# scripts/windows-qt.sh builds. Give that Qt's prefix as QUARVEX_WINDOWS_QT:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQUARVEX_WINDOWS_QT=<prefix> ...
# Qt's own tools (moc, rcc, uic) are Linux programs in that prefix; lrelease, which the
# cross Qt lacks, comes from the host's Qt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_quarvex_cross x86_64-w64-mingw32)
# The posix-threads compiler: Qt was built with it, and std::thread needs it.
set(CMAKE_C_COMPILER ${_quarvex_cross}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_quarvex_cross}-g++-posix)
set(CMAKE_RC_COMPILER ${_quarvex_cross}-windres)

set(QUARVEX_WINDOWS_QT "$ENV{QUARVEX_WINDOWS_QT}" CACHE PATH
    "Prefix of the static Qt for Windows (the last line scripts/windows-qt.sh prints)")
if(NOT QUARVEX_WINDOWS_QT OR NOT EXISTS "${QUARVEX_WINDOWS_QT}/lib/cmake/Qt5Core")
    message(FATAL_ERROR "QUARVEX_WINDOWS_QT must name the Qt that scripts/windows-qt.sh built, "
                        "not '${QUARVEX_WINDOWS_QT}'")
endif()
# try_compile projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARVEX_WINDOWS_QT)

set(CMAKE_FIND_ROOT_PATH /usr/${_quarvex_cross} ${QUARVEX_WINDOWS_QT})
set(CMAKE_PREFIX_PATH ${QUARVEX_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(Qt5LinguistTools_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake/Qt5LinguistTools
    CACHE PATH "The host's Qt Linguist tools (lrelease)")
