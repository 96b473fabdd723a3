#pragma once
// SIGINT and SIGTERM for ripwell-cli: the first one asks the run to stop
// cleanly (the song under way is cancelled and its temporary files removed);
// a second one ends the program at once (the next run removes what is left).

namespace cli {

// Installs the handlers. Blocking reads (the answer to a question) return
// when a signal comes.
void installInterruptHandlers();

// Whether a signal has come.
bool interrupted();

// A descriptor that becomes readable when a signal comes (for a
// QSocketNotifier); -1 before installInterruptHandlers().
int interruptDescriptor();

// Reads what made interruptDescriptor() readable.
void drainInterruptDescriptor();

} // namespace cli
