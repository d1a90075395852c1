#include "app/TrelvixApp.h"

#include <cstdlib>
#include <string>
#include "engine/AppRecord.h"
#include "core/StartupChecks.h"
#include "engine/Resources.h"
#include "core/TraceLog.h"
#include "platform/messages.h"
#include "platform/net.h"
#include "platform/registry.h"
#include "scaling/Resize.h"
#include "session/CtrlFile.h"

using namespace plat;

CTrelvixApp theApp;

CTrelvixApp::CTrelvixApp(IWindowFactory* windows) : m_pWindows(windows) {}

CTrelvixApp::~CTrelvixApp() = default;

int CTrelvixApp::InitLocalIPAddress() {
  g_strLocalIP.Set(GetLocalIPv4());
  return 1;
}

int CTrelvixApp::InitKernelObject() {
  if (!g_lpApp) {
    AppRecord* app = new AppRecord();
    g_lpApp = app;
  }
  g_lpApp->ApplyStartValues();
  g_lpApp->C_MMTimer.SetResolution();
  const int loaded = LoadCtrlFile();
  LinkCtrlFileDevices();  // also after a failed load: every type is left unlinked
  return loaded;
}

int CTrelvixApp::GetDisplayDpi() {
  AppRecord* app = g_lpApp;
  int dpi = m_pWindows ? m_pWindows->GetDisplayDpiX() : 96;
  if (dpi <= 0) dpi = 96;
  app->w_LogPixelsX.store(static_cast<WORD>(dpi));
  app->fl_DpiScale.store(static_cast<float>(dpi) / 96.0f);
  return 1;
}

BOOL CTrelvixApp::InitInstance() {
  // Sockets need no initialisation here, nor does the control look of the windows.
  SetRegistryKey(kRegistryKeyName);
  InitLocalIPAddress();

  if (!InitKernelObject()) return FALSE_;
  AppRecord* app = g_lpApp;
  GetDisplayDpi();
  app->f_HasMmx.store(ProcessorHasMmx() ? 1 : 0);
  if (!AllocateSystemBuffer()) return FALSE_;
  if (!InitialSemaphore()) return FALSE_;

  app->CSettingINI.LoadSetting();
  const std::string programFolder = app->CSettingINI.m_strProgramPath.Get();
  TraceLog_Init(kTraceLogLineLimit, programFolder);
  app->C_DebugTraceLog.Open(programFolder);
  // The resize build for trials and measurements, chosen once before any thread resizes.
  TraceLog_Append(scaling::SelectResizeBuild(std::getenv("TRELVIX_RESIZE_BUILD")));

  // The login window, until it ends with a login or is cancelled.
  if (!m_pWindows) return FALSE_;
  for (;;) {
    LoginDialogFields fields;
    fields.strHostText = app->CSettingINI.m_strServerName.Get();
    fields.strUserText = app->CSettingINI.m_strUsername.Get();
    fields.strPortText = std::to_string(app->CSettingINI.m_wWebPort.load());
    fields.strBitRateText = kLoginBitRateText;
    if (m_pWindows->RunLoginDialog(fields) != IDOK) return FALSE_;
    if (app->w_LoginResult.load() != LOGIN_RESULT_FAILED) break;
  }

  if (!InitProcessResource()) return FALSE_;
  if (!InitLoginResource()) return FALSE_;

  if (IsLoggedInResult(app->w_LoginResult.load())) m_pWindows->RunMainDialog();
  return FALSE_;
}

int CTrelvixApp::ExitInstance() {
  // A start-up that ended before the record existed leaves nothing to release.
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  ExitLoginResource();
  ExitProcessResource();
  // A thread that did not end within its bound may still use the buffers and the record:
  // they are then left to the end of the process instead of being freed under it.
  const bool freed = FreeSystemBuffer() != 0;
  const bool closed = FreeSemaphore() != 0;
  if (!freed || !closed || KeepForStrandedThreads("application record")) {
    TraceLog_Close();
    return 0;
  }
  TraceLog_Close();
  g_lpApp = nullptr;
  delete app;
  return 0;
}

int CTrelvixApp::Run() {
  InitInstance();
  return ExitInstance();
}
