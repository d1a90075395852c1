// The event-log half of the "General" page: the Server Log button (Cancel while a download
// runs), the MAX LOG LIST edit, the download thread with its record buffer, and the viewer
// opened when the records are in.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "session/EventLog.h"
#include "platform/types.h"

namespace ui {
class PropertyPage;
}

enum ToolBoxLogControl : int {
  IDC_TOOLBOX_SERVERLOG = 1068,
  IDC_TOOLBOX_MAXLOG_LABEL = 1443,
  IDC_TOOLBOX_MAXLOG = 1042,
};

class CServerLog {
 public:
  explicit CServerLog(ui::PropertyPage& page);
  ~CServerLog();
  CServerLog(const CServerLog&) = delete;
  CServerLog& operator=(const CServerLog&) = delete;

  // Makes the button, the label and the edit (with the page's window); hides them where the
  // recorder keeps no readable log.
  void InitControls();
  void OnChangeMaxLogList();
  void OnButtonServerLog();
  plat::LPARAM OnServerLogDone(plat::WPARAM code);
  // The thread has been told to stop and has ended (or the bound passed).
  bool IsThreadRunning() const { return m_hLogThread != 0; }

  // One download: its record buffer, count and cancel event, shared by the page and the
  // thread; whichever lets go last frees it.
  struct Run;

  int m_nMaxLogList = kMaxLogListDefault;
  plat::HANDLE m_hLogThread = 0;
  std::uint8_t m_byLogState = 2;  // 2 idle, 1 reading
  std::shared_ptr<Run> m_run;      // the download running or last finished

  // Replaceable for tests: the progress writer (the sheet's bar by default) and the viewer
  // run (the modal viewer of the device family by default).
  std::function<void(int job, int value)> m_progress;
  std::function<void(EventLogFamily family, const std::uint8_t* records, std::uint32_t count)> m_runViewer;

  // How long a cancelled download may take to end before the page gives up on it.
  static constexpr plat::DWORD kThreadEndBoundMs = 2000;

 private:
  // Joins the download (within kThreadEndBoundMs); `cancel` first sets the cancel event and
  // the thread's cancel token. Past the bound the run stays with the thread and the page
  // lets go of it.
  void StopLogThread(bool cancel = true);
  void SetCaption(bool reading);
  ui::PropertyPage& m_page;
};
