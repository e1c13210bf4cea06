#pragma once

#include <QByteArray>
#include <QString>

namespace quenterra {

// The folder that holds the executable at the given path (the system's bytes, in any encoding), as
// a path the program's file functions can use; empty when there is none. A folder whose name is no
// valid text is opened once and reached through that open descriptor for the rest of the run.
QString ProgramFolder(const QByteArray& executable);

// The folder that holds the running program.
QString ProgramFolder();

}  // namespace quenterra
