// The "DVR" page of the configuration sheet: title and picture values per camera, edited one
// row at a time in a small "Edit" dialog. The page edits the application record's DVRLIVE
// and DVRREC copies in place and marks which of them the sheet's APPLY has to send.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"
#include "ui/Window.h"

namespace ui {
class ReportList;
}

// The one-row camera editor.
class CCameraEditDlg : public ui::Window {
  Q_OBJECT

 public:
  explicit CCameraEditDlg(QWidget* parent = nullptr);

  std::string m_strNo;
  int m_nBrightness = 0;
  int m_nContrast = 0;
  int m_nSaturation = 0;
  int m_nHue = 0;
  std::string m_strTitle;
  int m_nCov = -1;
  int m_nRecord = -1;
  std::string m_strInitTitle;

  bool OnInitDialog() override;
  void OnOK() override;
  // Moves the fields into the controls, or reads them back with their checks (false when a
  // check failed; its message was shown and the focus put into that box).
  bool UpdateData(bool saveAndValidate, bool checkTitle = true);

 private:
  void OnChangeNumber(int id, int& field);
  void OnChangeTitle();
  int filling_ = 0;
};

class CameraPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  static constexpr int kChannels = 16;
  static constexpr int kTitleWidth = 6;

  explicit CameraPage(QWidget* parent = nullptr);

  char m_szTitle[kChannels][kTitleWidth] = {};
  std::uint8_t m_byBrightness[kChannels] = {};
  std::uint8_t m_byContrast[kChannels] = {};
  std::uint8_t m_bySaturation[kChannels] = {};
  std::uint8_t m_byHue[kChannels] = {};
  std::uint8_t m_byRecord[kChannels] = {};
  std::uint8_t m_byCov[kChannels] = {};
  int m_bLiveChanged = 0;
  int m_bRecordChanged = 0;

  // The edit flow of the Edit button and a double click.
  void OnButtonEdit();
  ui::ReportList* List() const;

 protected:
  bool OnInitDialog() override;

 private:
  void ShowRow(int row);
  std::string RowTitle(int row) const;
};
