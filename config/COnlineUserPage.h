// The "Online User Info" page of the configuration sheet: the users connected to the recorder.
#pragma once
#include <cstdint>

#include "ui/Controls.h"
#include "ui/PropertySheet.h"

enum OnlineUserControl : int { IDC_ONLINE_LIST = 1349, IDC_ONLINE_REFRESH = 1311 };

class COnlineUserPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit COnlineUserPage(QWidget* parent = nullptr);

  // Fetches the ONLINE section again; the rows are replaced only when it came.
  void OnInfoRefresh();
  ui::ReportList* List() const { return m_ctlUserList; }

  std::uint16_t m_wUserCount = 0;

 protected:
  bool OnInitDialog() override;

 private:
  void FillRows();
  bool m_bChannelColumn = false;
  ui::ReportList* m_ctlUserList = nullptr;
};
