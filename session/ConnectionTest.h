// A connection test of the stored recorder.
#pragma once

// Whether the stored recorder (settings' server name and web port) accepts a connection;
// nothing is sent. 0 also for an empty or unresolvable server name.
int DectectSocketConnection();
