// The two modal viewers of a downloaded event log: CDvrLogDlg for the DVR family (with a
// channel column) and CServerLogDlg for the video servers (which can also clear the
// recorder's log). Both list the records through a mask that their check boxes edit.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "session/EventLog.h"
#include "ui/Controls.h"
#include "ui/Window.h"

enum EventLogViewerControl : int {
  IDC_LOG_LIST = 1435,
  IDC_LOG_CLEAR = 1068,
  IDC_LOG_EXIT = 1069,
};

// A filter check box: its control id, caption, event bit and whether it is shown.
struct EventLogFilter {
  int id;
  const char* text;
  std::uint32_t bit;
  bool visible;
};
// The viewer's check boxes, top to bottom.
const std::vector<EventLogFilter>& EventLogFilters(EventLogFamily family);

class CEventLogViewer : public ui::Window {
 public:
  CEventLogViewer(EventLogFamily family, QWidget* parent);

  // Lists the records again through the mask, then shows the check states.
  void FillList();
  // A filter box was clicked: its bit leaves or joins the mask, and the list is refilled.
  void OnFilterCheck(int id);
  bool IsChecked(int id) const;
  EventLogFamily Family() const { return m_family; }
  ui::ReportList* List() const { return m_lstLog; }

  const std::uint8_t* m_pLogRecords = nullptr;  // the page's buffer, not owned
  std::uint32_t m_nRecordCount = 0;
  std::uint32_t m_dwEventMask;

 protected:
  bool OnInitDialog() override;
  ui::ReportList* m_lstLog = nullptr;

 private:
  void PushChecks();
  EventLogFamily m_family;
  std::map<int, bool> m_checks;
  std::vector<QString> m_numbers;  // "%2d" of the running numbers, kept from one fill to the next
};

class CDvrLogDlg : public CEventLogViewer {
 public:
  explicit CDvrLogDlg(QWidget* parent = nullptr);
};

class CServerLogDlg : public CEventLogViewer {
 public:
  explicit CServerLogDlg(QWidget* parent = nullptr);
  // Asks, then sends /ClearLog.cgi; closes on success, says what failed otherwise.
  void OnClearServerLog();
  void OnExit() { EndDialog(0); }
};
