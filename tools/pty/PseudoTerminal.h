#pragma once

// A pseudo-terminal pair, for the programs that stand at the far end of the serial line: the
// stand-in badge, the tests and the benchmarks. The program's serial code opens the slave by its
// path; the far end reads the master.

#include <QString>

namespace quenterra {

class PseudoTerminal {
public:
    // Opens a new pair; the master is non-blocking and closed on exec.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isValid() const { return master_ >= 0 && !slavePath_.isEmpty(); }
    int master() const { return master_; }
    const QString& slavePath() const { return slavePath_; }
    // Why the pair could not be made, when it is not valid: "cannot open a pseudo-terminal: ...".
    const QString& error() const { return error_; }

    // Closes the master: to the slave's holder the line has gone.
    void closeMaster();
    // Hands the master over: the caller closes it.
    int releaseMaster();

private:
    int master_ = -1;
    QString slavePath_;
    QString error_;
};

}  // namespace quenterra
