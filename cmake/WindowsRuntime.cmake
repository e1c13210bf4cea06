# What the programs of a Windows build need beside them, and how this machine runs them:
#
#   QUENTERRA_QT_RUNTIME         Qt's libraries the program links (imported targets)
#   QUENTERRA_QT_PLUGINS         Qt's plugins for the Windows desktop (imported targets) ...
#   QUENTERRA_QT_PLUGIN_FOLDERS  ... and the folder beside the program each one goes in
#   QUENTERRA_COMPILER_RUNTIME   the DLLs of the compiler's runtime (libstdc++, libgcc, winpthread)
#   QUENTERRA_WINE_RUN           the command that runs one of the build's programs under Wine, in a
#                                cross build where Wine is there; empty otherwise
#
# Included by the top CMakeLists.txt on Windows, after Qt has been found.

set(QUENTERRA_QT_RUNTIME Qt6::Core Qt6::Gui Qt6::Widgets Qt6::SerialPort)
set(QUENTERRA_QT_PLUGINS Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin)
set(QUENTERRA_QT_PLUGIN_FOLDERS platforms styles)

# MinGW's g++ knows where its runtime lies; MSVC's runtime is the system's own.
set(QUENTERRA_COMPILER_RUNTIME)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
            OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
            message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not find its runtime ${dll}")
        endif()
        get_filename_component(path ${path} REALPATH)
        list(APPEND QUENTERRA_COMPILER_RUNTIME ${path})
    endforeach()
endif()

set(QUENTERRA_WINE_RUN)
find_program(QUENTERRA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(CMAKE_CROSSCOMPILING AND QUENTERRA_WINE)
    set(dll_dirs)
    foreach(target IN LISTS QUENTERRA_QT_RUNTIME)
        get_target_property(configurations ${target} IMPORTED_CONFIGURATIONS)
        list(GET configurations 0 configuration)
        get_target_property(location ${target} IMPORTED_LOCATION_${configuration})
        get_filename_component(dir ${location} DIRECTORY)
        list(APPEND dll_dirs ${dir})
    endforeach()
    foreach(dll IN LISTS QUENTERRA_COMPILER_RUNTIME)
        get_filename_component(dir ${dll} DIRECTORY)
        list(APPEND dll_dirs ${dir})
    endforeach()
    list(REMOVE_DUPLICATES dll_dirs)
    set(QUENTERRA_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run)
    foreach(dir IN LISTS dll_dirs)
        list(APPEND QUENTERRA_WINE_RUN --dlls ${dir})
    endforeach()
endif()
