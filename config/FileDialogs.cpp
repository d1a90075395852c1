#include "config/FileDialogs.h"

#include <QFileDialog>
#include <mutex>

#include "config/DlgGetPath.h"
#include "ui/Lifetime.h"

namespace {

std::mutex g_mutex;
FolderPickerFunction g_folderPicker;
FileOpenFunction g_fileOpen;

int RealFolderPicker(QWidget* parent, const std::string& start, std::string& chosen) {
  CDlgGetPath dialog(parent);
  dialog.SetPath(start);
  if (dialog.DoModal() != plat::IDOK) return 0;
  chosen = dialog.GetPath();
  return 1;
}

int RealFileOpen(QWidget* parent, const std::string& filter, const std::string& start, std::string& chosen) {
  ui::ModalScope scope(nullptr);
  if (scope.Refused()) return 0;
  const QString file = QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), QString::fromStdString(start),
                                                    QString::fromStdString(filter));
  if (file.isEmpty()) return 0;
  chosen = file.toStdString();
  return 1;
}

}  // namespace

FolderPickerFunction SetFolderPickerFunction(FolderPickerFunction fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::swap(g_folderPicker, fn);
  return fn;
}

FileOpenFunction SetFileOpenFunction(FileOpenFunction fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::swap(g_fileOpen, fn);
  return fn;
}

int PickFolder(QWidget* parent, const std::string& start, std::string& chosen) {
  FolderPickerFunction fn;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    fn = g_folderPicker;
  }
  return fn ? fn(parent, start, chosen) : RealFolderPicker(parent, start, chosen);
}

int PickOpenFile(QWidget* parent, const std::string& filter, const std::string& start, std::string& chosen) {
  FileOpenFunction fn;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    fn = g_fileOpen;
  }
  return fn ? fn(parent, filter, start, chosen) : RealFileOpen(parent, filter, start, chosen);
}
