// The application object: start-up (InitInstance) and shut-down (ExitInstance).
//
// The login window and the main window are reached through IWindowFactory, so the start-up
// runs the same with the real Qt windows and with test windows.
#pragma once
#include <string>
#include "platform/types.h"

// The texts the start-up puts into the login window's fields before running it.
struct LoginDialogFields {
  std::string strHostText;     // the recorder's address (settings' server name)
  std::string strUserText;     // the settings' user name
  std::string strPortText;     // the web port as decimal text
  std::string strBitRateText;  // "1200"
};

class IWindowFactory {
 public:
  virtual ~IWindowFactory() = default;

  // Constructs a fresh login window without a parent, fills its fields and runs it modally.
  // Answers its end code: IDOK (1) after its login thread succeeded, IDCANCEL (2) otherwise.
  virtual int RunLoginDialog(const LoginDialogFields& fields) = 0;

  // Constructs the main window without a parent, makes it the program's main window and runs
  // it modally until it closes. Its initialisation registers it in the record
  // (lp_MainDialog, h_MainDialogHandle) and releases the first session; its close releases
  // the session and process objects (ExitLoginResource, ExitProcessResource).
  virtual int RunMainDialog() = 0;

  // Horizontal pixels per inch of the display.
  virtual int GetDisplayDpiX() { return 96; }
};

class CTrelvixApp {
 public:
  explicit CTrelvixApp(IWindowFactory* windows = nullptr);
  ~CTrelvixApp();
  CTrelvixApp(const CTrelvixApp&) = delete;
  CTrelvixApp& operator=(const CTrelvixApp&) = delete;

  void SetWindowFactory(IWindowFactory* windows) { m_pWindows = windows; }

  // The whole start-up and the modal run of the main window. Always answers FALSE: the
  // program ends (after ExitInstance) when the main window has closed or the start-up failed.
  plat::BOOL InitInstance();
  // The shut-down; answers the program's exit code (0). Releases only what exists.
  int ExitInstance();

  // InitInstance, then ExitInstance; answers the exit code (what main() returns).
  int Run();

  int InitLocalIPAddress();
  // Creates the record with its start values and loads the control file; answers the
  // loader's result.
  int InitKernelObject();
  int GetDisplayDpi();

 private:
  IWindowFactory* m_pWindows;
};

// The registry key the start-up gives the profile.
constexpr const char* kRegistryKeyName = "Ovistra web server";
// The bit-rate text the login window is opened with.
constexpr const char* kLoginBitRateText = "1200";

extern CTrelvixApp theApp;
