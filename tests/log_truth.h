// The installer log held against what the simulated machine saw.
//
// A Checker watches a machine while actions run on it. Each action's lines
// (from its "Entering" line to the next action's) are read against the table
// in log_truth.cpp:
//   - a line that claims an effect (written, deleted, copied, removed, added,
//     set, can be written, ...) must match a row, and the row's check must
//     hold: the files, registry values, properties or check boxes it names
//     changed as it says, in that action, before the line; a state it names
//     ("can be written", "holds the Orvella entry") holds when it is logged;
//   - every change the machine saw in the action (each sim::Effect, each
//     Control row, each opened address) must be named by a line: a row that
//     claims it, a counted line of the folder walk it belongs to (the counts
//     must be exact), or a failure line that names its path.
// Installer properties are held to what lines claim about them; a property
// changed without a line is no fault (actions reset their flags silently).
//
// Adding a kind of line: give it a row in kRows (log_truth.cpp) with a marker
// (a literal every such line contains, which keeps the test fast), a pattern
// for the whole line after "<action>: ", and what it claims:
//   - consumeOn(path) for effects on one file or registry value,
//   - a Walk (the counted line of a FileWork) with the folder it changes,
//   - property(name, value) for a property the line says it set,
//   - a check run when the line is logged, for a state it claims,
//   - or nothing, for a line that only says what was not done.
// A line with a claiming word that matches no row fails the test, naming the
// line, so that no new kind of line goes unchecked. A call of the simulated
// machine that changes something must note a sim::Effect.
#pragma once

#include "platform/sim/machine.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace logtruth {

class Checker {
public:
    explicit Checker(sim::Machine& machine);
    ~Checker();
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    // Ends the action that runs now and gives every problem found so far,
    // each naming its action and line; the list starts again empty.
    std::vector<std::string> finish();

    int actions() const;     // actions checked
    int claimLines() const;  // lines held against the machine
    int effects() const;     // changes that the machine saw

    struct State;

private:
    std::unique_ptr<State> state_;
};

// The text a value takes in the log: quoted, cut after 160 characters with
// its length, anything but printable ASCII and '"' as \xNN. Written apart
// from the library's, so that the two hold each other to account.
std::string shownValue(const std::string& value);
std::string escapedText(const std::string& text);

}  // namespace logtruth
