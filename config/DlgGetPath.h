// The modal "Destination Path" folder picker: a tree of the file system's roots ("/", the
// home folder and each mounted removable, optical, network or RAM file system) and of the
// "Network Neighborhood" (the network mounts under their server). Children are read when a
// node is first expanded. The picked path keeps the folders' real names and ends with "/".
#pragma once
#include <QImage>
#include <string>
#include <vector>

#include "config/MountTable.h"
#include "ui/Controls.h"
#include "ui/Window.h"

enum DlgGetPathControl : int { IDC_GETPATH_TREE = 1315 };

class CDlgGetPath : public ui::Window {
 public:
  explicit CDlgGetPath(QWidget* parent = nullptr);
  ~CDlgGetPath() override;

  void SetPath(const std::string& path) { m_strPath = path; }
  std::string GetPath() const { return m_strPath; }

  // A text without lower-case letters becomes lower case with its first character in upper
  // case ("TEMP" -> "Temp"); any other text stays as it is.
  static std::string FormatItemName(const std::string& text);

  // Where the roots come from (tests point these at a fake table and a temporary home).
  static void SetMountTableFile(const std::string& path);
  static void SetHomeFolder(const std::string& path);

  ui::SelectTree* Tree() const { return m_ctlTree; }
  QTreeWidgetItem* NetworkRoot() const { return m_hNetworkRoot; }
  // Adds the children of an item (folders, or the servers and shares of the network); false
  // when none was added, which removes the item's expand button.
  bool PopulateTree(QTreeWidgetItem* item);
  // The real path of an item, ending with "/"; empty for the network root and servers.
  std::string GetItemPath(QTreeWidgetItem* item) const;
  // The picture index of an item.
  static int ItemPicture(QTreeWidgetItem* item);
  // Whether the item can be taken (drives, folders and shares; not servers).
  bool IsPickable(QTreeWidgetItem* item) const;
  // The pictures (15 of 17 x 16), null when the picture file is missing.
  const std::vector<QImage>& Pictures() const { return m_pictures; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, const std::string& text, const std::string& path,
                              int picture, int selectedPicture, bool networkObject);
  void OnItemExpanding(QTreeWidgetItem* item);
  void ShowStartPath();
  ui::SelectTree* m_ctlTree = nullptr;
  QTreeWidgetItem* m_hNetworkRoot = nullptr;
  std::vector<MountEntry> m_networkMounts;
  std::vector<QImage> m_pictures;
  std::string m_strPath;
  bool m_bStartShown = false;  // the start path was found whole and selected
  bool m_bTouched = false;     // the operator changed the selection
};
