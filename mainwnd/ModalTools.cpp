#include "mainwnd/ModalTools.h"

#include <atomic>

namespace {
std::atomic<IModalToolDialogs*> g_modalTools{nullptr};
}  // namespace

void SetModalToolDialogs(IModalToolDialogs* dialogs) { g_modalTools = dialogs; }
IModalToolDialogs* GetModalToolDialogs() { return g_modalTools.load(); }
