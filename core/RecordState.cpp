#include "core/RecordState.h"

namespace {
std::atomic<ICoreRecord*> g_coreRecord{nullptr};
}  // namespace

ICoreRecord* CoreRecord() { return g_coreRecord.load(); }
void SetCoreRecord(ICoreRecord* record) { g_coreRecord.store(record); }
