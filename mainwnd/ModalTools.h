// What the main window needs of dialogs that live in other folders and are run modally from
// its keys: the recorder's playback search. Their folder registers an implementation at
// start-up; without one the key says "Dialog box could not be created!".
#pragma once

class QWidget;

class IModalToolDialogs {
 public:
  virtual ~IModalToolDialogs() = default;
  // Runs the playback search dialog modally (a session exists). Answers the dialog's end
  // code, or -1 when it could not be created.
  virtual int RunPlaybackSearch(QWidget* mainWindow) = 0;
};

void SetModalToolDialogs(IModalToolDialogs* dialogs);
IModalToolDialogs* GetModalToolDialogs();

// The text shown when a dialog cannot be created (or none is registered).
constexpr const char kDialogNotCreated[] = "Dialog box could not be created!";
