# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix), against a Qt
# for Windows given by CMAKE_PREFIX_PATH, with Qt's build tools (moc, rcc, uic) from this machine:
#
#   cmake -S . -B build/windows/build -G Ninja \
#       -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#       -DCMAKE_PREFIX_PATH=<Qt for Windows>/qt6-mingw
#
# scripts/test.d/70-windows.sh does this, and runs the tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUENTERRA_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix flavour: std::thread and std::async, which the program uses, need its threads.
set(CMAKE_C_COMPILER ${QUENTERRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENTERRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENTERRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUENTERRA_MINGW_TRIPLE})
# Libraries, headers and packages in the MinGW root and wherever the Qt for Windows lies; programs
# (moc, rcc, cpack) from this machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Qt's build tools of the same version, from qt6-base-dev-tools.
set(QT_HOST_PATH /usr CACHE PATH "Where Qt's build tools for this machine are")
file(GLOB host_tools /usr/lib/*/cmake/Qt6CoreTools)
if(host_tools)
    list(GET host_tools 0 host_tools)
    get_filename_component(host_cmake_dir ${host_tools} DIRECTORY)
    set(QT_HOST_PATH_CMAKE_DIR ${host_cmake_dir}
        CACHE PATH "Where the CMake packages of Qt's build tools are")
endif()
