// What the main window needs of the configuration folder: the configuration sheet. The
// configuration windows register a factory at start-up; without one the configuration
// command says "Dialog box could not be created!".
#pragma once
#include <QRect>

class QWidget;

// An open (or closed but not yet deleted) configuration sheet.
class ISystemSheet {
 public:
  virtual ~ISystemSheet() = default;
  // Makes the window beside `mainWindow` (placed against the work area the main window
  // recorded at its start) and shows it without a modal loop; false when it cannot be made.
  virtual bool CreateSheet(QWidget* mainWindow, const QRect& workArea) = 0;
  // The sheet's window exists.
  virtual bool IsSheetOpen() const = 0;
  // Closes the window as EXIT does (nothing sent or stored); the object stays.
  virtual void CloseSheet() = 0;
  // Closes the window at once and gives the object up: a sheet deletes itself once none of its
  // handlers runs (a page may wait in a dialog while the main window asks it to go). The
  // caller forgets the pointer.
  virtual void Release() { delete this; }
};

class ISystemSheetFactory {
 public:
  virtual ~ISystemSheetFactory() = default;
  // A new sheet for the connected model, with the client's settings copied into its pages.
  virtual ISystemSheet* NewSystemSheet() = 0;
};

void SetSystemSheetFactory(ISystemSheetFactory* factory);
ISystemSheetFactory* GetSystemSheetFactory();

// Reads the recorder's configuration sections into the application record: one ALL read on
// firmware that has it, else the sections one by one. 1, or 0 at the first failed read.
int LoadDeviceConfig();

// The configuration command: closes an open sheet; otherwise reads the configuration and
// opens a new sheet beside the main window (messages on failure).
void OnSystemConfig(QWidget* mainWindow, const QRect& workArea);
// Closes the sheet, if any, and releases it (the configuration button pressed again,
// disconnect, the main window's shut-down).
void CloseSystemSheet();
