// The address book: the recorders the operator connects to often (user name, address,
// comment, web port), kept in "IPRecord.dat" in the program folder. Read when the window
// opens; rewritten from the lists when it is destroyed, unless the file could not be read.
#pragma once
#include <QStringList>
#include <string>
#include <vector>

#include "session/IPRecordFile.h"
#include "ui/Window.h"

class QListWidget;
class QScrollBar;

// The end code that carries a choice.
constexpr int kAddressBookSelected = 100;

namespace book_id {
constexpr int kUserList = 1232;
constexpr int kIpAddressList = 1233;
constexpr int kScrollBar = 1234;
constexpr int kCommentList = 1235;
constexpr int kMajorPortList = 1242;
constexpr int kUserEdit = 1238;
constexpr int kIpAddressEdit = 1042;
constexpr int kCommentEdit = 1239;
constexpr int kMajorPortEdit = 1240;
constexpr int kAdd = 1118;
constexpr int kDelete = 1117;
constexpr int kSelect = 1029;
constexpr int kEdit = 1119;
constexpr int kCancel = 1;  // the framework's OK id, captioned "CANCEL"
constexpr int kEntryOK = 1244;
}  // namespace book_id

class CAddressBookDialog : public ui::Window {
  Q_OBJECT

 public:
  explicit CAddressBookDialog(QWidget* parent = nullptr);
  ~CAddressBookDialog() override;

  bool OnInitDialog() override;
  void OnOK() override;  // the "CANCEL" button

  void OnAdd();
  void OnEditButton();
  void OnEntryOK();
  void OnDelete();
  void OnSelect();
  void OnSelchange(int list, int row);
  void OnVScroll(int action);  // QAbstractSlider::SliderAction

  // The file's full path (the settings' program folder + "IPRecord.dat").
  static std::string RecordFilePath();

  QStringList m_arrUser, m_arrIPAddress, m_arrComment, m_arrMajorPort;
  int m_iUserNumber = 0;
  int m_nCurSel = -1;
  std::string m_strUser, m_strIPAddress, m_strComment, m_strMajorPort;
  int m_iMajorPort = 0;
  int m_fAddMode = 0;
  int m_fEntryMode = 0;
  bool m_bFileOpen = false;

 private:
  QListWidget* List(int index) const { return m_lists[index]; }
  void SelectRowEverywhere(int row);
  void ShowEntryMode(bool entry);
  // Adds a row at the end of the four columns and counts it.
  void AppendRow(const std::string& user, const std::string& ip, const std::string& comment, int port);
  void AfterCountChanged();
  bool ReadEntryFields(bool& portIsNumber);
  void SaveFile();

  QListWidget* m_lists[4] = {};
  QScrollBar* m_scroll = nullptr;
  std::string m_path;
};
