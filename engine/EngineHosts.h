// The engine's implementations of what the layers below call back into: the session threads'
// mailbox and rebuild requests (session/SessionHost.h) and the recorders' default host
// (record/RecorderHost.h). Installed whenever a record is published as g_lpApp.
#pragma once

void InstallEngineHosts();
