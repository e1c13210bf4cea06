# Run before the logic library is archived: its include path has Qt Core alone, but Qt's headers
# share one root, so <QtWidgets/QWidget> would still be found. Any such include fails the build.
#   cmake -DSOURCES=<file;file;...> -P CheckLogicIncludes.cmake
foreach(source ${SOURCES})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Qt[A-Za-z]+/")
    foreach(line ${lines})
        if(NOT line MATCHES "[<\"]QtCore/")
            message(FATAL_ERROR "${source}: the logic may use Qt Core only: ${line}")
        endif()
    endforeach()
endforeach()
