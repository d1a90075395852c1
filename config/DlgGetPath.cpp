#include "config/DlgGetPath.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/files.h"

namespace {

std::mutex g_sourceMutex;
std::string g_mountTable = "/proc/self/mounts";
std::string g_home;

constexpr int kRolePath = Qt::UserRole;
constexpr int kRoleNetwork = Qt::UserRole + 1;
constexpr int kRolePopulated = Qt::UserRole + 2;
constexpr int kRolePicture = Qt::UserRole + 3;
constexpr int kRoleSelectedPicture = Qt::UserRole + 4;
constexpr const char* kPictureFile = "BMP\\PathPicker.bmp";
constexpr int kPictureWidth = 17;
constexpr int kPictureHeight = 16;

std::string MountTablePath() {
  std::lock_guard<std::mutex> lock(g_sourceMutex);
  return g_mountTable;
}

std::string HomeFolder() {
  {
    std::lock_guard<std::mutex> lock(g_sourceMutex);
    if (!g_home.empty()) return g_home;
  }
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

std::string StripSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string WithSlash(const std::string& path) { return path.empty() || path.back() == '/' ? path : path + "/"; }

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    if (end > pos) out.push_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

}  // namespace

void CDlgGetPath::SetMountTableFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_sourceMutex);
  g_mountTable = path.empty() ? "/proc/self/mounts" : path;
}

void CDlgGetPath::SetHomeFolder(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_sourceMutex);
  g_home = path;
}

std::string CDlgGetPath::FormatItemName(const std::string& text) {
  const bool anyLower = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  if (anyLower || text.empty()) return text;
  std::string out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

CDlgGetPath::CDlgGetPath(QWidget* parent) : ui::Window(parent) {
  setWindowTitle(QStringLiteral("Destination Path"));
  auto* layout = new QVBoxLayout(this);
  m_ctlTree = new ui::SelectTree(this);
  m_ctlTree->setHeaderHidden(true);
  m_ctlTree->setRootIsDecorated(true);
  m_ctlTree->setDragEnabled(false);
  layout->addWidget(m_ctlTree, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("CANCEL"), this);
  ok->setDefault(true);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  AddControl(IDC_GETPATH_TREE, m_ctlTree);
  AddControl(plat::IDOK, ok);
  AddControl(plat::IDCANCEL, cancel);
  OnCommand(plat::IDOK, [this] { OnOK(); });
  OnCommand(plat::IDCANCEL, [this] { OnCancel(); });
  resize(320, 400);

  // The pictures: one strip of 15, white is transparent.
  QImage strip(QString::fromStdString(plat::MapPath(kPictureFile)));
  if (!strip.isNull()) {
    strip = strip.convertToFormat(QImage::Format_ARGB32);
    for (int i = 0; i < PATHPIC_COUNT; ++i) {
      QImage pic = strip.copy(i * kPictureWidth, 0, kPictureWidth, kPictureHeight);
      for (int y = 0; y < pic.height(); ++y) {
        for (int x = 0; x < pic.width(); ++x) {
          if ((pic.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) pic.setPixel(x, y, 0);
        }
      }
      m_pictures.push_back(pic);
    }
  }
}

CDlgGetPath::~CDlgGetPath() = default;

QTreeWidgetItem* CDlgGetPath::InsertItem(QTreeWidgetItem* parent, const std::string& text, const std::string& path,
                                         int picture, int selectedPicture, bool networkObject) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, QString::fromStdString(FormatItemName(text)));
  item->setData(0, kRolePath, QString::fromStdString(path));
  item->setData(0, kRoleNetwork, networkObject);
  item->setData(0, kRolePopulated, false);
  item->setData(0, kRolePicture, picture);
  item->setData(0, kRoleSelectedPicture, selectedPicture < 0 ? picture : selectedPicture);
  if (picture >= 0 && picture < static_cast<int>(m_pictures.size())) {
    item->setIcon(0, QIcon(QPixmap::fromImage(m_pictures[static_cast<std::size_t>(picture)])));
  }
  // Marked as having children until an expansion finds none.
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  if (parent) {
    parent->addChild(item);
  } else {
    m_ctlTree->addTopLevelItem(item);
  }
  return item;
}

bool CDlgGetPath::OnInitDialog() {
  std::vector<std::uint8_t> table;
  std::vector<MountEntry> mounts;
  if (plat::ReadWholeFile(MountTablePath(), table, 1u << 20)) {
    mounts = ParseMountTable(std::string_view(reinterpret_cast<const char*>(table.data()), table.size()));
  }
  InsertItem(nullptr, "/", "/", PATHPIC_FIXED, -1, false);
  const std::string home = StripSlash(HomeFolder());
  if (home != "/") InsertItem(nullptr, home, home, PATHPIC_FIXED, -1, false);
  std::vector<std::string> shown;
  for (const MountEntry& m : mounts) {
    const int picture = MountPicture(m);
    if (picture < 0) continue;
    const std::string point = StripSlash(m.mountPoint);
    if (point == home || std::find(shown.begin(), shown.end(), point) != shown.end()) continue;
    shown.push_back(point);
    InsertItem(nullptr, point, point, picture, -1, false);
    if (picture == PATHPIC_NETWORK) m_networkMounts.push_back(m);
  }
  m_hNetworkRoot = InsertItem(nullptr, "Network Neighborhood", "", PATHPIC_NETWORK_OBJECT, -1, true);

  connect(m_ctlTree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnItemExpanding(item); });
  m_ctlTree->onSelChanging = [this](QTreeWidgetItem* from, QTreeWidgetItem* to) {
    if (from) {
      const int p = from->data(0, kRolePicture).toInt();
      if (p >= 0 && p < static_cast<int>(m_pictures.size())) from->setIcon(0, QIcon(QPixmap::fromImage(m_pictures[p])));
    }
    if (to) {
      const int p = to->data(0, kRoleSelectedPicture).toInt();
      if (p >= 0 && p < static_cast<int>(m_pictures.size())) to->setIcon(0, QIcon(QPixmap::fromImage(m_pictures[p])));
    }
    EnableDlgItem(plat::IDOK, IsPickable(to));
    return true;
  };
  m_ctlTree->onSelChanged = [this](QTreeWidgetItem*) { m_bTouched = true; };
  ShowStartPath();
  m_bTouched = false;
  return true;
}

void CDlgGetPath::OnItemExpanding(QTreeWidgetItem* item) {
  if (!item->data(0, kRolePopulated).toBool()) PopulateTree(item);
  if (m_ctlTree->SelectedItem() != item) m_ctlTree->SelectItem(item);
}

bool CDlgGetPath::PopulateTree(QTreeWidgetItem* item) {
  if (!item || item->data(0, kRolePopulated).toBool()) return item && item->childCount() > 0;
  item->setData(0, kRolePopulated, true);
  bool added = false;
  if (item == m_hNetworkRoot) {
    // The servers of the network mounts, each with its shares (the mounted folders).
    std::map<std::string, QTreeWidgetItem*> servers;
    for (const MountEntry& m : m_networkMounts) {
      const std::string server = NetworkServer(m);
      QTreeWidgetItem*& s = servers[server];
      if (!s) {
        s = InsertItem(item, server, "", PATHPIC_NETWORK_OBJECT + 2, -1, true);
        s->setData(0, kRolePopulated, true);
      }
      const std::string point = StripSlash(m.mountPoint);
      const std::string name = point.substr(point.find_last_of('/') + 1);
      InsertItem(s, name, point, PATHPIC_CLOSED_FOLDER, PATHPIC_OPEN_FOLDER, false);
      added = true;
    }
    for (auto& [name, s] : servers) {
      if (s->childCount() == 0) s->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
  } else if (!item->data(0, kRoleNetwork).toBool()) {
    const std::string path = item->data(0, kRolePath).toString().toStdString();
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path, std::filesystem::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
      std::error_code typeError;
      if (it->is_directory(typeError)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
      });
    });
    for (const std::string& name : names) {
      InsertItem(item, name, (path == "/" ? "" : path) + "/" + name, PATHPIC_CLOSED_FOLDER, PATHPIC_OPEN_FOLDER, false);
      added = true;
    }
  }
  if (!added) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
  return added;
}

std::string CDlgGetPath::GetItemPath(QTreeWidgetItem* item) const {
  if (!item || item->data(0, kRoleNetwork).toBool()) return std::string();
  return WithSlash(item->data(0, kRolePath).toString().toStdString());
}

int CDlgGetPath::ItemPicture(QTreeWidgetItem* item) { return item ? item->data(0, kRolePicture).toInt() : -1; }

bool CDlgGetPath::IsPickable(QTreeWidgetItem* item) const {
  return item != nullptr && !item->data(0, kRoleNetwork).toBool();
}

void CDlgGetPath::ShowStartPath() {
  const std::string start = StripSlash(m_strPath);
  if (start.empty() || start[0] != '/') return;
  // The root holding the start path with the most components.
  QTreeWidgetItem* best = nullptr;
  std::size_t bestDepth = 0;
  const std::vector<std::string> parts = Components(start);
  for (int i = 0; i < m_ctlTree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = m_ctlTree->topLevelItem(i);
    if (root == m_hNetworkRoot) continue;
    const std::vector<std::string> rootParts = Components(root->data(0, kRolePath).toString().toStdString());
    if (rootParts.size() > parts.size() || (best && rootParts.size() <= bestDepth)) continue;
    bool match = true;
    for (std::size_t k = 0; k < rootParts.size() && match; ++k) match = SameName(rootParts[k], parts[k]);
    if (match) {
      best = root;
      bestDepth = rootParts.size();
    }
  }
  if (!best) return;
  QTreeWidgetItem* at = best;
  std::size_t depth = bestDepth;
  for (; depth < parts.size(); ++depth) {
    PopulateTree(at);
    QTreeWidgetItem* next = nullptr;
    for (int c = 0; c < at->childCount() && !next; ++c) {
      const std::string path = at->child(c)->data(0, kRolePath).toString().toStdString();
      if (SameName(path.substr(path.find_last_of('/') + 1), parts[depth])) next = at->child(c);
    }
    if (!next) break;
    at->setExpanded(true);
    at = next;
  }
  m_ctlTree->SelectItem(at);
  m_ctlTree->scrollToItem(at);
  m_bStartShown = depth == parts.size();
}

void CDlgGetPath::OnOK() {
  QTreeWidgetItem* selected = m_ctlTree->SelectedItem();
  if (selected && !IsPickable(selected)) return;
  // The start path stays as it was unless the operator picked something or it was shown whole.
  if (selected && (m_bTouched || m_bStartShown)) m_strPath = GetItemPath(selected);
  EndDialog(plat::IDOK);
}
