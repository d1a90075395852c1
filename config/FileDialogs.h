// The folder picker and the file-open dialog as replaceable functions, as message boxes are:
// the program uses the real dialogs, tests install answers.
#pragma once
#include <functional>
#include <string>

class QWidget;

// Answers 1 with the chosen folder (ending with "/"), anything else when cancelled.
using FolderPickerFunction = std::function<int(QWidget* parent, const std::string& start, std::string& chosen)>;
// Answers 1 with the chosen file; `filter` in the form "WAV files (*.wav)".
using FileOpenFunction =
    std::function<int(QWidget* parent, const std::string& filter, const std::string& start, std::string& chosen)>;

// Install a replacement (an empty function restores the real dialog); answers the previous one.
FolderPickerFunction SetFolderPickerFunction(FolderPickerFunction fn);
FileOpenFunction SetFileOpenFunction(FileOpenFunction fn);

int PickFolder(QWidget* parent, const std::string& start, std::string& chosen);
int PickOpenFile(QWidget* parent, const std::string& filter, const std::string& start, std::string& chosen);
