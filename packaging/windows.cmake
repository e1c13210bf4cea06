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
install(FILES ${QUENTERRA_COMPILER_RUNTIME} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# The DLLs come with their debugging information: a stripped install (the package's) leaves it out.
if(CMAKE_STRIP)
    set(dlls)
    foreach(library IN LISTS QUENTERRA_QT_RUNTIME)
        list(APPEND dlls "$<TARGET_FILE_NAME:${library}>")
    endforeach()
    foreach(plugin folder IN ZIP_LISTS QUENTERRA_QT_PLUGINS QUENTERRA_QT_PLUGIN_FOLDERS)
        list(APPEND dlls "${folder}/$<TARGET_FILE_NAME:${plugin}>")
    endforeach()
    foreach(dll IN LISTS QUENTERRA_COMPILER_RUNTIME)
        get_filename_component(name ${dll} NAME)
        list(APPEND dlls ${name})
    endforeach()
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
        foreach(dll ${dlls})
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${dll}\"
                COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")
endif()
