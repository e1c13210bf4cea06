# The Windows package: a ZIP of one folder to unzip anywhere, with quenterra.exe at its top and the
# DLLs and Qt plugins it needs beside it, laid out as windeployqt lays them out. The program keeps
# its settings file, Vorlenta.ini, beside itself. Included by packaging/CMakeLists.txt on Windows,
# before the program is installed.

set(CMAKE_INSTALL_BINDIR .)

install(IMPORTED_RUNTIME_ARTIFACTS ${QUENTERRA_QT_RUNTIME} RUNTIME DESTINATION .)
foreach(plugin folder IN ZIP_LISTS QUENTERRA_QT_PLUGINS QUENTERRA_QT_PLUGIN_FOLDERS)
    install(IMPORTED_RUNTIME_ARTIFACTS ${plugin}
        LIBRARY DESTINATION ${folder}
        RUNTIME DESTINATION ${folder})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# The other DLLs the program and the plugins need, and the DLLs those need in turn, as found in the
# folders of Qt's libraries and of the compiler's runtime (with MSYS2's Qt, its other libraries lie
# there too). What is found nowhere there, or in the system's folder, is the system's own. (CMake
# looks for a DLL by its name in lower case: on a file system that tells case apart it finds
# Qt6Core.dll only through the rule above.)
set(dll_dirs)
foreach(dll IN LISTS QUENTERRA_COMPILER_RUNTIME)
    get_filename_component(dir ${dll} DIRECTORY)
    list(APPEND dll_dirs ${dir})
endforeach()
foreach(library IN LISTS QUENTERRA_QT_RUNTIME)
    list(APPEND dll_dirs "$<TARGET_FILE_DIR:${library}>")
endforeach()
list(REMOVE_DUPLICATES dll_dirs)
set(plugin_files)
set(qt_copies)
foreach(library IN LISTS QUENTERRA_QT_RUNTIME)
    list(APPEND qt_copies "$<TARGET_FILE_NAME:${library}>")
endforeach()
foreach(plugin folder IN ZIP_LISTS QUENTERRA_QT_PLUGINS QUENTERRA_QT_PLUGIN_FOLDERS)
    list(APPEND plugin_files "$<TARGET_FILE:${plugin}>")
    list(APPEND qt_copies "${folder}/$<TARGET_FILE_NAME:${plugin}>")
endforeach()
set(dependency_tool)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_OBJDUMP)
    set(dependency_tool "set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
        set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
        set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND \"${CMAKE_OBJDUMP}\")")
endif()
# They come with their debugging information: a stripped install (the package's) leaves it out.
set(strip)
if(CMAKE_STRIP)
    set(strip "if(CMAKE_INSTALL_DO_STRIP)
        foreach(dll \${names} ${qt_copies})
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${dll}\"
                COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")
endif()
install(CODE "${dependency_tool}
    file(GET_RUNTIME_DEPENDENCIES
        EXECUTABLES \"$<TARGET_FILE:quenterra>\"
        MODULES ${plugin_files}
        DIRECTORIES ${dll_dirs}
        PRE_EXCLUDE_REGEXES \"^api-ms-\" \"^ext-ms-\"
        POST_EXCLUDE_REGEXES \"[/\\\\\\\\][Ss][Yy][Ss][Tt][Ee][Mm]32[/\\\\\\\\]\"
        RESOLVED_DEPENDENCIES_VAR dlls
        UNRESOLVED_DEPENDENCIES_VAR system_dlls)
    if(NOT dlls)
        message(FATAL_ERROR \"No DLLs found for quenterra.exe in ${dll_dirs}\")
    endif()
    file(INSTALL \${dlls} DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
    set(names)
    foreach(dll \${dlls})
        get_filename_component(name \${dll} NAME)
        list(APPEND names \${name})
    endforeach()
    ${strip}")
