#pragma once

#include <QString>

namespace modemsim {

// A pseudo-terminal pair: the modem plays the master, the tool opens the slave.
// The simulator holds a slave fd of its own (raw, never read) for its whole
// life, so the master sees no hang-up while the tool has the port closed and
// nothing echoes before the tool sets the line up.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool open(QString *error);
    void close();                          // both ends; the tool's port sees a hang-up
    int master() const { return master_; } // non-blocking; -1 when closed
    // Suspends (or resumes) output on the slave side, as a stopped line
    // would: what the tool writes stays in its port and never arrives.
    void stopSlaveOutput(bool stopped);
    QString slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

}  // namespace modemsim
