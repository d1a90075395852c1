#include "engine/AppRecord.h"

#include "engine/EngineHosts.h"

AppRecordPointer g_lpApp;

AppRecordPointer& AppRecordPointer::operator=(AppRecord* record) {
  if (record != nullptr) InstallEngineHosts();
  record_.store(record);
  PublishSessionRecord(record);
  return *this;
}

AppRecord::AppRecord() = default;
// The player link's lock and connection go with the record.
AppRecord::~AppRecord() { PlayerLink.Release(); }

void AppRecord::ApplyStartValues() {
  SessionRecord::ApplyStartValues();
  for (AtomicHandle* h : {&h_Process_KernelMessageThread, &h_Process_Terminate_Thread, &h_Process_Init_Thread}) {
    h->store(0);
  }
  for (AtomicId* id :
       {&dw_Process_KernelMessageThreadId, &dw_Process_Terminate_ThreadId, &dw_Process_Init_ThreadId}) {
    id->store(0);
  }
}
