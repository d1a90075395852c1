// The disc writer: writes a downloaded backup file (and, when asked, the player's setup
// file) to a disc through the disc-writing library, merged with the disc's last session.
// InitDiscApi, CheckDiscAndFile and the setting dialog run on the user-interface thread;
// WriteCD runs on the download thread, where the library's callbacks then run too.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "discapi/discapi.h"
#include "platform/types.h"

class CSettingINI;

// The notification callback: code 0 start, 1 progress (value: percent), 2 end.
using WriteCDNotify = void (*)(int code, int value);
extern WriteCDNotify g_pfnWriteCDNotify;

// The image recorder's file: asked of the operator on the user-interface thread while the
// burning thread waits with a cancellable wait. The windows register their implementation at
// start-up.
class IDiscImageFileChooser {
 public:
  virtual ~IDiscImageFileChooser() = default;
  // true with the chosen path; false when the operator cancelled or the question was
  // cancelled. Throws plat::ThreadCancelled when the asking thread is cancelled.
  virtual bool ChooseImageFile(const std::string& proposedName, std::string& path) = 0;
  // Any thread: answers a question now being asked "no" (its dialog closes).
  virtual void CancelChoice() {}
};
void SetDiscImageFileChooser(IDiscImageFileChooser* chooser);
IDiscImageFileChooser* GetDiscImageFileChooser();

// Disc kinds (m_nMediaKind).
inline constexpr int kMediaNone = 0;
inline constexpr int kMediaCD = 1;
inline constexpr int kMediaDVD = 0xC001C;
inline constexpr int kMediaNotWritable = 0x400;
// The kind of a disc from the library's media mask.
int MediaKindFromMask(std::uint32_t mask);
// "There was %s while importing the track!" for an import error code.
std::string ImportErrorText(int code);
// The message for a burn result (empty for 0).
std::string BurnResultText(int result);
// A drive named "Image Recorder..." is the library's image recorder.
bool IsImageRecorderName(const char* name);

inline constexpr const char* kPlayerSetupFile = "Parvilo_setup.exe";
inline constexpr const char* kVolumeName = "OvistraBackup";

class CWriteCD {
 public:
  explicit CWriteCD(CSettingINI* settings = nullptr);
  ~CWriteCD();
  CWriteCD(const CWriteCD&) = delete;
  CWriteCD& operator=(const CWriteCD&) = delete;

  int InitDiscApi(const std::string& fileName, WriteCDNotify notify);
  int CheckDiscAndFile();
  int WriteCD();
  // Any thread: a burn stops at the library's next call, and a question about the image file
  // being asked is answered "no".
  void Abort();
  void ExitDiscApi();
  int MergeIsoTrees(DiscIsoItem*& items, DiscIsoItem* imported);

  static std::string GetIsoItemName(const DiscIsoItem* item);
  void FreeIsoItemList(DiscIsoItem* items);

  // The player's setup file in the program folder.
  std::string PlayerSetupPath() const;
  bool PlayerSetupExists() const;
  // The settings the writer reads.
  int CloseOption() const;
  int AddPlayerOption() const;
  void SetCloseOption(int value);
  void SetAddPlayerOption(int value);

  // Library callbacks (user data: the writer).
  static int DiscIdleCallback(void* user);
  static int DiscAbortedCallback(void* user);
  static int DiscProgressCallback(int percent, void* user);
  static void DiscSetPhaseCallback(const char* text, void* user);
  static void DiscAddLogLineCallback(int type, const char* text, void* user);
  static int DiscUserDialogCallback(void* user, int request, void* data);

  // Drives (copied from the library's list).
  char (*m_lpDriveNames)[256] = nullptr;
  int m_nDriveCount = 0;
  int m_fInitialised = 0;
  std::atomic<std::uint8_t> m_byAbort{0};
  int m_nMediaKind = kMediaCD;
  DiscSettings m_Settings{};
  char m_szLogFile[128] = "DiscApi.txt";
  char m_szVendor[128] = "Ovistra";
  char m_szCompany[128] = "";
  char m_szAppName[256] = "OvistraBackup";
  DiscProgress m_Progress{};
  DiscBurnRecord* m_lpBurnRecord = nullptr;
  DiscIsoItem* m_lpItems = nullptr;
  DiscDriveList* m_lpDriveList = nullptr;
  std::string m_strFileName;
  std::string m_strSourceFile;
  DiscDevice* m_hDevice = nullptr;
  int m_fCloseDisc = 0;
  int m_fImportSession = 1;
  int m_nSelectedDrive = 0;
  std::uint32_t m_dwFileSize = 0;

 private:
  const DiscDriveEntry* SelectedEntry() const;
  std::string SelectedName() const;
  bool SelectedIsImageRecorder() const;
  std::string NamePart() const;
  DiscIsoItem* NewItem(const std::string& name, const std::string& source);
  void FreeDriveNames();
  void CloseDevice();

  CSettingINI* m_pSettings;
};
