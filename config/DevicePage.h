// The "Device" page of the configuration sheet: the RS485 devices of the recorder's channels.
#pragma once
#include <cstdint>
#include <functional>

#include "ui/PropertySheet.h"

class CDeviceEditDlg;
namespace ui {
class ReportList;
}

class DevicePage : public ui::PropertyPage {
  Q_OBJECT

 public:
  enum : int { IDC_DEVICE_LIST = 1404, IDC_DEVICE_EDIT = 1119 };
  static constexpr int kChannels = 16;

  explicit DevicePage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Device"), parent) {}

  // All sixteen entries of the RS485 section; the rows show the model's channels.
  std::uint8_t m_byDeviceKind[kChannels] = {};
  std::uint8_t m_byDeviceId[kChannels] = {};
  std::uint8_t m_byProtocol[kChannels] = {};
  std::uint32_t m_dwBaud[kChannels] = {};
  int m_bModified = 0;

  void OnButtonEdit();
  void OnDblclkDeviceList();
  ui::ReportList* List() const;

  // Runs the editor modally (tests replace it); answers the end code.
  std::function<int(CDeviceEditDlg&)> runEditor;

 protected:
  bool OnInitDialog() override;

 private:
  void Edit(bool fromButton);
  void WriteRow(int row);
};
