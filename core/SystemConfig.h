// The alarm list (AlarmData.dat). Minimal in-memory form holding what the alarm recorder
// adds; reading and writing the file, its rotation and deletion come with the alarm-list
// work and replace this implementation (keep the operation names).
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>
#include "platform/types.h"

struct AlarmDBItem {
  plat::WORD wIndex = 0;
  plat::BYTE byFlags = 0;
  plat::WORD stStartTime[8] = {};  // year, month, day of week, day, hour, minute, second, ms
  std::string szFileName;          // full path of the alarm recording's first file
  plat::DWORD dwFrames = 0;
  std::string szServerIP;
};

class SystemConfig {
 public:
  // Starts the entry of a new alarm recording with the path of its first file.
  plat::BOOL AlarmDB_SetFileName(const std::string& path) {
    std::lock_guard<std::mutex> lk(m_lock);
    m_PendingItem = AlarmDBItem{};
    m_PendingItem.szFileName = path.substr(0, 259);
    return 1;
  }
  // The start time of the pending entry (written when the recording's first frame arrives).
  void AlarmDB_SetStartTime(const plat::WORD (&t)[8]) {
    std::lock_guard<std::mutex> lk(m_lock);
    for (int i = 0; i < 8; ++i) m_PendingItem.stStartTime[i] = t[i];
  }
  // Adds the pending entry with its frame count and the recorder's address.
  plat::BOOL AlarmDB_AddItem(plat::DWORD frames, const std::string& serverAddress) {
    std::lock_guard<std::mutex> lk(m_lock);
    m_PendingItem.wIndex = m_wRunningIndex++;
    m_PendingItem.dwFrames = frames;
    m_PendingItem.szServerIP = serverAddress.substr(0, 31);
    m_Items.push_back(m_PendingItem);
    if (m_Items.size() > 1024) m_Items.erase(m_Items.begin());
    return 1;
  }
  std::vector<AlarmDBItem> Items() const {
    std::lock_guard<std::mutex> lk(m_lock);
    return m_Items;
  }

 private:
  mutable std::mutex m_lock;
  AlarmDBItem m_PendingItem;
  plat::WORD m_wRunningIndex = 0;
  std::vector<AlarmDBItem> m_Items;
};

inline SystemConfig g_SystemConfig;
