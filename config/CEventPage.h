// The "Search List" page of the configuration sheet: the list of recordings on one of the
// recorder's disks, read page by page, shown in the "Full List" dialog, from which a picked
// recording goes to the "Network Backup" page.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "session/NetworkBackup.h"
#include "session/SearchList.h"
#include "platform/types.h"
#include "ui/PropertySheet.h"

enum EventPageControl : int {
  IDC_SL_HDD = 1195,
  IDC_SL_TYPE = 1196,
  IDC_SL_MAX = 1040,
  IDC_SL_DOWNLOAD = 1068,
  IDC_FL_LIST = 1458,
  IDC_FL_ALARM = 1462,
  IDC_FL_MANUAL = 1460,
  IDC_FL_MOTION = 1463,
  IDC_FL_SYSTEM = 1456,
  IDC_FL_TIMER = 1464,
  IDC_FL_EXIT = 1,
  IDC_FL_DOWNLOAD = 1068,
};

class CEventPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CEventPage(QWidget* parent = nullptr);
  ~CEventPage() override;

  bool OnKillActive() override { return true; }
  // Starts reading the list on a worker and returns; the page stays disabled until the worker
  // reports, then shows the list (or what failed). A report that finds the sheet closed, or no
  // page any more, is dropped.
  void OnButtonDownloadList();
  bool IsDownloading() const { return m_hListThread != 0; }

  int m_nHddIndex = -1;
  int m_nListType = -1;
  unsigned m_nMaxListNumber = 0;
  int m_bHddChanged = 0, m_bTypeChanged = 0, m_bMaxChanged = 0;
  nb::DiskMask m_byHddMask{};
  std::array<std::uint8_t, 256> m_byHddToIndex{};
  std::array<std::uint8_t, 256> m_byIndexToHdd{};
  std::uint16_t m_wCurExitListNumber = 0;
  std::vector<sl::SearchListRecord> m_arrRecords;

 protected:
  bool OnInitDialog() override;

 private:
  // What one list download and its worker share; the worker holds its own reference.
  struct ListFetch;
  void ReadControls();
  void WriteControls();
  void OnChangeMaxNumber();
  void OnListDone(unsigned serial);
  std::shared_ptr<ListFetch> m_fetch;
  plat::HANDLE m_hListThread = 0;
  unsigned m_nFetchSerial = 0;
};

class CFullListDlg : public ui::Window {
  Q_OBJECT

 public:
  CFullListDlg(QWidget* parent, const std::vector<sl::SearchListRecord>* records, const std::string& caption,
               int hddIndex, int listType);
  explicit CFullListDlg(QWidget* parent);

  bool OnInitDialog() override;
  void FillList();
  void OnDownload(bool fromDoubleClick);
  void OnOK() override { EndDialog(plat::IDOK); }

  sl::Filters m_Filters;
  const std::vector<sl::SearchListRecord>* m_pRecords = nullptr;
  std::string m_strCaption;
  std::uint8_t m_byHddIndex = 0;
  std::uint8_t m_byListType = 0;
  // The window told to bring the backup page forward (the configuration sheet); without one,
  // the dialog's parent.
  ui::Window* m_pNotifyWindow = nullptr;

 private:
  void Build();
  void Toggle(int id, bool& flag);
};
