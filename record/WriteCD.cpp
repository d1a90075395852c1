#include "record/WriteCD.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "core/RecordState.h"
#include "core/SettingINI.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "record/DiscApiLoader.h"

WriteCDNotify g_pfnWriteCDNotify = nullptr;

namespace {

std::mutex g_chooserMutex;
IDiscImageFileChooser* g_pChooser = nullptr;

void Message(const std::string& text) { plat::MessageBox(0, text); }

void Notify(int code, int value) {
  if (WriteCDNotify fn = g_pfnWriteCDNotify) fn(code, value);
}

char* CopyString(const std::string& s) {
  char* p = static_cast<char*>(std::malloc(s.size() + 1));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The calendar time of an item's entry date, or 0 when it is not a valid date.
time_t EntryTime(const DiscDateTime& d) {
  if (d.year < 1970 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 || d.minute > 59 ||
      d.second > 60) {
    return 0;
  }
  struct tm t {};
  t.tm_year = d.year - 1900;
  t.tm_mon = d.month - 1;
  t.tm_mday = d.day;
  t.tm_hour = d.hour;
  t.tm_min = d.minute;
  t.tm_sec = d.second;
  return timegm(&t);
}

// An item's time: its entry date, else its source file's last-write time.
time_t ItemTime(const DiscIsoItem* item) {
  const time_t t = EntryTime(item->entry);
  if (t > 0) return t;
  const std::string source = item->long_source ? item->long_source : std::string(item->source, strnlen(item->source, sizeof item->source));
  struct stat sb {};
  if (stat(source.c_str(), &sb) != 0) {
    char text[600];
    std::snprintf(text, sizeof text, "Could not open file: %s.", source.c_str());
    Message(text);
    return 0;
  }
  return sb.st_mtime;
}

}  // namespace

void SetDiscImageFileChooser(IDiscImageFileChooser* chooser) {
  std::lock_guard<std::mutex> lock(g_chooserMutex);
  g_pChooser = chooser;
}

IDiscImageFileChooser* GetDiscImageFileChooser() {
  std::lock_guard<std::mutex> lock(g_chooserMutex);
  return g_pChooser;
}

int MediaKindFromMask(std::uint32_t mask) {
  if (mask == 0) return kMediaNone;
  if (mask & 0x1u) return kMediaCD;
  if (mask & (0x2u | 0x4u | 0x8u | 0x10u | 0x800u | 0x1000u | 0x2000u | 0x4000u | 0x40000u | 0x80000u)) return kMediaDVD;
  return kMediaNotWritable;
}

std::string ImportErrorText(int code) {
  static const char* const kTexts[] = {"an unknown error", "a generic error",    "a drive error",
                                       "a read error",     "a filesystem error", "an invalid track number"};
  const char* what = code >= 0 && code <= 5 ? kTexts[code] : kTexts[0];
  return std::string("There was ") + what + " while importing the track!";
}

std::string BurnResultText(int result) {
  switch (result) {
    case 0: return "";
    case 1: return "Write CD Error : unknown CD format";
    case 2: return "Write CD Error : invalid drive";
    case 3: return "Write CD Error : burn failed";
    case 4: return "Write CD Error : function not allowed";
    case 5: return "Write CD Error : drive not allowed";
    case 6: return "Write CD Error : user aborted";
    case 7: return "Write CD Error : bad message file";
    default: return "Write CD Error : unknown error";
  }
}

bool IsImageRecorderName(const char* name) {
  static const char kName[] = DISC_IMAGE_RECORDER_NAME;
  return name && std::strncmp(name, kName, sizeof kName - 1) == 0;
}

CWriteCD::CWriteCD(CSettingINI* settings) : m_pSettings(settings) {}

CWriteCD::~CWriteCD() {
  if (m_fInitialised || g_hDiscApi) ExitDiscApi();
  FreeDriveNames();
}

int CWriteCD::CloseOption() const { return m_pSettings ? m_pSettings->m_nWriteCDClose.load() : 0; }
int CWriteCD::AddPlayerOption() const { return m_pSettings ? m_pSettings->m_nWriteCDAddPlayer.load() : 0; }
void CWriteCD::SetCloseOption(int value) {
  if (m_pSettings) m_pSettings->m_nWriteCDClose = value;
}
void CWriteCD::SetAddPlayerOption(int value) {
  if (m_pSettings) m_pSettings->m_nWriteCDAddPlayer = value;
}

std::string CWriteCD::PlayerSetupPath() const {
  std::string folder = m_pSettings ? m_pSettings->m_strProgramPath.Get() : std::string();
  if (folder.empty() && CoreRecord()) folder = CoreRecord()->ProgramPath();
  if (folder.empty()) folder = plat::ProgramFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + kPlayerSetupFile;
}

bool CWriteCD::PlayerSetupExists() const {
  struct stat sb {};
  return stat(PlayerSetupPath().c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

void CWriteCD::FreeDriveNames() {
  delete[] m_lpDriveNames;
  m_lpDriveNames = nullptr;
}

const DiscDriveEntry* CWriteCD::SelectedEntry() const {
  if (!m_lpDriveList || m_nSelectedDrive < 0 || m_nSelectedDrive >= m_nDriveCount) return nullptr;
  return DISC_DRIVE_AT(m_lpDriveList, m_nSelectedDrive);
}

std::string CWriteCD::SelectedName() const {
  const DiscDriveEntry* e = SelectedEntry();
  return e ? std::string(e->name, strnlen(e->name, sizeof e->name)) : std::string();
}

bool CWriteCD::SelectedIsImageRecorder() const {
  const DiscDriveEntry* e = SelectedEntry();
  return e && IsImageRecorderName(std::string(e->name, strnlen(e->name, sizeof e->name)).c_str());
}

std::string CWriteCD::NamePart() const {
  const std::size_t slash = m_strFileName.find_last_of("/\\");
  return slash == std::string::npos ? m_strFileName : m_strFileName.substr(slash + 1);
}

void CWriteCD::CloseDevice() {
  if (m_hDevice) dapi::DiscCloseDevice(m_hDevice);
  m_hDevice = nullptr;
}

int CWriteCD::InitDiscApi(const std::string& fileName, WriteCDNotify notify) {
  m_strFileName = fileName;
  m_strSourceFile = fileName;
  g_pfnWriteCDNotify = notify;
  m_byAbort = 0;
  if (fileName.empty()) {
    Message("File name is not valid");
    return 0;
  }
  if (!g_hDiscApi) {
    if (!LoadDiscApi(0)) {
      Message("You should download DiscStudio first.\n" + LoadDiscApiError());
      return 0;
    }
    m_Settings = DiscSettings{};
    m_Settings.app_name = m_szAppName;
    m_Settings.company = m_szCompany;
    m_Settings.vendor = m_szVendor;
    m_Settings.log_file = m_szLogFile;
    m_Settings.idle = &CWriteCD::DiscIdleCallback;
    m_Settings.idle_user = this;
    m_Settings.user_dialog = &CWriteCD::DiscUserDialogCallback;
    m_Settings.user_dialog_user = this;
    m_Progress = DiscProgress{};
    m_Progress.progress = &CWriteCD::DiscProgressCallback;
    m_Progress.aborted = &CWriteCD::DiscAbortedCallback;
    m_Progress.add_log_line = &CWriteCD::DiscAddLogLineCallback;
    m_Progress.set_phase = &CWriteCD::DiscSetPhaseCallback;
    m_Progress.user = this;
    m_lpDriveList = nullptr;
    const int r = dapi::DiscInit(&m_Settings, nullptr);
    if (r != 0) {
      // A library that did not start is of no use: it is let go again.
      Message(r == 1 ? "The arguments are not valid." : "An error occured. The type of error cannot be determined.");
      UnloadDiscApi();
      return 0;
    }
  }
  if (m_lpDriveList) dapi::DiscFreeMem(m_lpDriveList);
  m_lpDriveList = dapi::DiscGetAvailableDrivesEx(1, nullptr);
  if (!m_lpDriveList) {
    Message("No available devices.");
    return 0;
  }
  FreeDriveNames();
  const std::uint32_t count = m_lpDriveList->count;
  m_nDriveCount = count > 4096 ? 0 : static_cast<int>(count);
  if (m_nDriveCount == 0) {
    Message("The number of available devices is 0.");
    return 0;
  }
  m_lpDriveNames = new char[m_nDriveCount][256]();
  for (int i = 0; i < m_nDriveCount; ++i) {
    const DiscDriveEntry* e = DISC_DRIVE_AT(m_lpDriveList, i);
    std::memcpy(m_lpDriveNames[i], e->name, strnlen(e->name, sizeof e->name));
  }
  m_fInitialised = 1;
  return 1;
}

int CWriteCD::CheckDiscAndFile() {
  std::string ext = m_strFileName.size() >= 4 ? m_strFileName.substr(m_strFileName.size() - 4) : std::string();
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext != ".DVR") {
    Message("The extension of file name should be (dvr)");
    return 0;
  }
  const DiscDriveEntry* entry = SelectedEntry();
  m_hDevice = entry ? dapi::DiscOpenDevice(entry) : nullptr;
  if (!m_hDevice) {
    Message("Device could not be opened: " + SelectedName());
    return 0;
  }
  if (!SelectedIsImageRecorder()) {
    if (DiscCDInfo* info = dapi::DiscGetCDInfo(m_hDevice, 1)) {
      // The kind first: an empty drive or a closed disc has no space either, and saying so
      // would send the operator after the wrong cause.
      m_nMediaKind = MediaKindFromMask(info->media_mask);
      if (m_nMediaKind == kMediaNone || m_nMediaKind == kMediaNotWritable) {
        dapi::DiscFreeMem(info);
        Message(m_nMediaKind == kMediaNone ? "NO DISC" : "Disc is non writable");
        CloseDevice();
        return 0;
      }
      std::uint64_t need = m_dwFileSize;
      if (AddPlayerOption()) {
        struct stat sb {};
        if (stat(PlayerSetupPath().c_str(), &sb) == 0) need += static_cast<std::uint64_t>(sb.st_size);
      }
      need += 4096;
      const std::uint64_t space = static_cast<std::uint64_t>(info->free_blocks) * 2048;
      dapi::DiscFreeMem(info);
      if (need > space) {
        Message("No available space for writing CD.");
        CloseDevice();
        return 0;
      }
    }
  }
  DiscCDInfo* info = dapi::DiscGetCDInfo(m_hDevice, 0);
  if (!info) {
    Message("NO DISC");
    CloseDevice();
    return 0;
  }
  const std::uint32_t tracks = info->track_count;
  dapi::DiscFreeMem(info);
  if (tracks > 0) {
    DiscCDStamp* stamp = nullptr;
    DiscImportRecord record{sizeof(DiscImportRecord), 0, nullptr};
    int error = 0;
    DiscIsoItem* imported = dapi::DiscImportDataTrack(m_hDevice, static_cast<int>(tracks) - 1, &stamp, &record, 0,
                                                      &error, nullptr);
    if (record.note) dapi::DiscFreeMem(record.note);
    if (!imported) {
      // Writing would hide the files of the earlier sessions.
      if (stamp) dapi::DiscFreeCDStamp(stamp);
      Message(ImportErrorText(error));
      CloseDevice();
      return 0;
    }
    const std::string name = NamePart();
    bool same = false;
    for (const DiscIsoItem* i = imported; i && !same; i = i->next) {
      const std::string existing = GetIsoItemName(i);
      same = existing.size() >= name.size() && EqualNoCase(existing.substr(0, name.size()), name);
    }
    FreeIsoItemList(imported);
    if (stamp) dapi::DiscFreeCDStamp(stamp);
    if (same) {
      Message("FileName is tha same as other existed file,please modify it");
      CloseDevice();
      return 0;
    }
  }
  CloseDevice();
  return 1;
}

DiscIsoItem* CWriteCD::NewItem(const std::string& name, const std::string& source) {
  auto* item = static_cast<DiscIsoItem*>(dapi::DiscCreateIsoItemOfSize(sizeof(DiscIsoItem)));
  if (!item) return nullptr;
  item->long_name = CopyString(name);
  item->long_source = CopyString(source);
  return item;
}

int CWriteCD::WriteCD() {
  if (!m_fInitialised) {
    Notify(2, 0);
    return 0;
  }
  if (m_strFileName.empty()) {
    Message("Filename is not valid!");
    Notify(2, 0);
    return 0;
  }
  std::free(m_lpBurnRecord);
  m_lpBurnRecord = static_cast<DiscBurnRecord*>(std::calloc(1, sizeof(DiscBurnRecord)));
  const DiscDriveEntry* entry = SelectedEntry();
  m_hDevice = entry ? dapi::DiscOpenDevice(entry) : nullptr;
  auto finishEarly = [this](int result) {
    CloseDevice();
    m_byAbort = 0;
    Notify(2, 0);
    std::free(m_lpBurnRecord);
    m_lpBurnRecord = nullptr;
    return result;
  };
  if (!m_hDevice) {
    Message("Device could not be opened: " + SelectedName());
    return finishEarly(1);
  }
  if (!m_lpBurnRecord) {
    Message(BurnResultText(DISC_BURN_FAILED));
    return finishEarly(1);
  }
  if (!SelectedIsImageRecorder()) {
    DiscCDInfo* info = dapi::DiscGetCDInfo(m_hDevice, 1);
    m_nMediaKind = info ? MediaKindFromMask(info->media_mask) : kMediaNone;
    if (info) dapi::DiscFreeMem(info);
    if (m_nMediaKind == kMediaNone) {
      Message("NO DISC");
      return finishEarly(0);
    }
  }
  // The files to write.
  m_lpItems = NewItem(NamePart(), m_strSourceFile);
  if (m_lpItems && AddPlayerOption() && PlayerSetupExists()) {
    m_lpItems->next = NewItem(kPlayerSetupFile, PlayerSetupPath());
  }
  m_lpBurnRecord->size = sizeof(DiscBurnRecord);
  m_lpBurnRecord->stamp = nullptr;
  m_lpBurnRecord->further_tracks = 0;
  m_lpBurnRecord->media_type = m_nMediaKind == kMediaCD ? DISC_MEDIA_CD : DISC_MEDIA_DVD;

  Notify(0, 0);
  bool burn = m_lpItems != nullptr;
  bool burned = false;
  int result = DISC_BURN_FAILED;
  if (burn && m_fImportSession) {
    DiscCDInfo* info = dapi::DiscGetCDInfo(m_hDevice, 0);
    const std::uint32_t tracks = info ? info->track_count : 0;
    DiscCDStamp* stamp = nullptr;
    DiscIsoItem* imported = nullptr;
    int error = 0;
    DiscImportRecord record{sizeof(DiscImportRecord), 0, nullptr};
    if (info && tracks > 0) {
      imported = dapi::DiscImportDataTrack(m_hDevice, static_cast<int>(tracks) - 1, &stamp, &record, 0, &error,
                                           nullptr);
    }
    if (info) dapi::DiscFreeMem(info);
    if (record.note) dapi::DiscFreeMem(record.note);
    if (imported) {
      if (error != 0) {
        Message(ImportErrorText(error));
        burn = false;
      } else if (MergeIsoTrees(m_lpItems, imported)) {
        m_lpBurnRecord->stamp = stamp;
        imported = nullptr;  // now part of m_lpItems
        stamp = nullptr;
      } else {
        Message("There was an error while merging tracks!");
        burn = false;
      }
    } else if (tracks > 0) {
      // The disc holds sessions that could not be read: the new files alone would hide them.
      Message(ImportErrorText(error));
      burn = false;
    }
    if (imported) FreeIsoItemList(imported);
    if (stamp) dapi::DiscFreeCDStamp(stamp);
  }
  if (burn) {
    DiscIsoTrack* track = dapi::DiscCreateIsoTrackEx(m_lpItems, kVolumeName, 0x0B);
    m_lpBurnRecord->iso_track = track;
    if (track) {
      const std::uint32_t flags = m_fCloseDisc ? 0x04u : 0x14u;
      result = dapi::DiscBurn(m_hDevice, 0, m_lpBurnRecord, flags, 0, &m_Progress);
      dapi::DiscFreeIsoTrack(track);
    }
    m_lpBurnRecord->iso_track = nullptr;
    burned = true;
  }
  CloseDevice();
  m_byAbort = 0;
  if (char* log = dapi::DiscGetErrorLog()) dapi::DiscFreeMem(log);
  Notify(2, 0);
  FreeIsoItemList(m_lpItems);
  m_lpItems = nullptr;
  if (m_lpBurnRecord->stamp) dapi::DiscFreeCDStamp(static_cast<DiscCDStamp*>(m_lpBurnRecord->stamp));
  std::free(m_lpBurnRecord);
  m_lpBurnRecord = nullptr;
  // Cancelled while the library asked for the image file: the thread goes on unwinding here.
  plat::CheckCancel();
  if (burned && result != 0) Message(BurnResultText(result));
  return 1;
}

void CWriteCD::Abort() {
  m_byAbort = 1;
  if (IDiscImageFileChooser* chooser = GetDiscImageFileChooser()) chooser->CancelChoice();
}

void CWriteCD::ExitDiscApi() {
  if (m_lpDriveList) dapi::DiscFreeMem(m_lpDriveList);
  m_lpDriveList = nullptr;
  dapi::DiscClearErrors();
  if (g_hDiscApi && dapi::DiscDone() != 0) Message("Detected memory leaks");
  UnloadDiscApi();
  m_fInitialised = 0;
}

std::string CWriteCD::GetIsoItemName(const DiscIsoItem* item) {
  if (!item) return std::string();
  if (item->long_name) return item->long_name;
  return std::string(item->short_name, strnlen(item->short_name, sizeof item->short_name));
}

void CWriteCD::FreeIsoItemList(DiscIsoItem* items) {
  if (!items) return;
  // The writer's own strings first; the library frees the items and its own strings.
  struct Walk {
    static void Strings(DiscIsoItem* i) {
      for (; i; i = i->next) {
        if (!i->is_reference) {
          std::free(i->long_name);
          std::free(i->long_source);
          i->long_name = nullptr;
          i->long_source = nullptr;
        }
        Strings(i->children);
      }
    }
  };
  Walk::Strings(items);
  dapi::DiscFreeIsoItemTree(items);
}

int CWriteCD::MergeIsoTrees(DiscIsoItem*& items, DiscIsoItem* imported) {
  if (!items || !imported) return 0;
  DiscIsoItem** link = &items;
  while (*link) {
    DiscIsoItem* cur = *link;
    for (DiscIsoItem** ilink = &imported; *ilink; ilink = &(*ilink)->next) {
      DiscIsoItem* imp = *ilink;
      if (!EqualNoCase(GetIsoItemName(cur), GetIsoItemName(imp))) continue;
      DiscIsoItem* loser;
      *ilink = imp->next;
      if (ItemTime(cur) < ItemTime(imp)) {
        // The disc's file is newer: it takes the new file's place.
        imp->next = cur->next;
        *link = imp;
        loser = cur;
      } else {
        loser = imp;
      }
      loser->next = nullptr;
      FreeIsoItemList(loser);
      break;
    }
    link = &(*link)->next;
  }
  *link = imported;
  return 1;
}

int CWriteCD::DiscIdleCallback(void* user) {
  // The burning thread has no message queue to pump: the answer is the abort flag.
  return user ? static_cast<CWriteCD*>(user)->m_byAbort.load() : 0;
}

int CWriteCD::DiscAbortedCallback(void* user) { return user ? static_cast<CWriteCD*>(user)->m_byAbort.load() : 0; }

int CWriteCD::DiscProgressCallback(int percent, void*) {
  Notify(1, percent);
  return 1;
}

void CWriteCD::DiscSetPhaseCallback(const char*, void*) {}
void CWriteCD::DiscAddLogLineCallback(int, const char*, void*) {}

int CWriteCD::DiscUserDialogCallback(void* user, int request, void* data) {
  switch (request) {
    case 2:
    case 7:
    case 12: return 5;
    case 6: return 3;
    case 13: return 1;
    case 15:
      if (char* texts = dapi::DiscGetLocalizedWaitCDTexts()) dapi::DiscFreeMem(texts);
      return 0;
    case DISC_REQUEST_IMAGE_PATH: {
      IDiscImageFileChooser* chooser = GetDiscImageFileChooser();
      if (!chooser) {
        Message("No file dialog is available to choose the image file.");
        return DISC_ANSWER_IMAGE_CANCEL;
      }
      auto* writer = static_cast<CWriteCD*>(user);
      if (!data || (writer && writer->m_byAbort.load())) return DISC_ANSWER_IMAGE_CANCEL;
      std::string path;
      bool chosen = false;
      try {
        chosen = chooser->ChooseImageFile("Image.iso", path);
      } catch (const plat::ThreadCancelled&) {
        // No exception crosses the library: it is told to stop, and WriteCD carries the
        // cancellation on once the library has returned.
        if (writer) writer->m_byAbort = 1;
        return DISC_ANSWER_IMAGE_CANCEL;
      }
      if (!chosen || path.empty()) return DISC_ANSWER_IMAGE_CANCEL;
      // The library's buffer bounds the path; a cut path would name another file.
      if (path.size() >= DISC_PATH_BUFFER) {
        Message("The image file's path is too long.");
        return DISC_ANSWER_IMAGE_CANCEL;
      }
      std::memcpy(data, path.c_str(), path.size() + 1);
      return 1;
    }
    default: return 0;
  }
}
