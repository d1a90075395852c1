// The shut-down signals (SIGTERM, SIGINT, SIGHUP). Their handler only notes the first one in a
// pipe, which the GUI thread watches and answers with the program's own shut-down; any later
// one ends the process at once with that signal's default action.
#pragma once

namespace plat {

// Installs the handler for the three signals; answers the pipe's read end (non-blocking), or
// -1 when the pipe cannot be made (the signals then keep their default action). Installing
// again answers the same pipe.
int InstallShutdownSignals();
// The signal noted by the handler and not yet taken, 0 when none.
int TakeShutdownSignal();
// The default actions back, the pipe closed and the count cleared.
void RemoveShutdownSignals();

}  // namespace plat
