// The "Account" page of the configuration sheet: the recorder's user accounts (at most five,
// each with name, password, level and life time) and its maximum of simultaneous users. The
// page edits the record's account slots; the sheet's APPLY writes them into SECURE.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

enum AccountPageControl : int {
  IDC_ACC_MAXUSER = 1040,
  IDC_ACC_USER = 1041,
  IDC_ACC_PASSWORD = 1042,
  IDC_ACC_EXIT = 1068,
  IDC_ACC_LIST = 1284,
  IDC_ACC_ADD = 1285,
  IDC_ACC_DELETE = 1286,
  IDC_ACC_EDIT = 1287,
  IDC_ACC_OK = 1288,
  IDC_ACC_USER_LABEL = 1289,
  IDC_ACC_PASSWORD_LABEL = 1290,
  IDC_ACC_LIFETIME = 1291,
  IDC_ACC_LIFETIME_LABEL = 1292,
  IDC_ACC_LEVEL_LABEL = 1293,
  IDC_ACC_LEVEL = 1294,
};

class AccountPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit AccountPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Account"), parent) {}

  // The recorder keeps names and passwords in 16-byte fields.
  static constexpr int kTextLimit = 16;
  static constexpr int kSlots = 5;

  void OnButtonAdd();
  void OnButtonEdit();
  void OnButtonDelete();
  void OnButtonOK();
  void OnButtonExit();
  void OnChangeMaxUser();
  void OnChangeUsername();
  void OnChangePassword();
  bool OnKillActive() override;
  void DoDataExchange(ui::DataExchange& dx) override;

  // Texts of a level code and a life time in the list.
  static std::string LevelText(int code);
  static std::string LifeTimeTextOfMinutes(std::int32_t minutes);

  int m_nLifeTimeChoice = -1;
  std::string m_strAccountPassword;
  int m_nLevelChoice = -1;
  std::string m_strAccountUser;
  unsigned m_nMaxUsers = 5;
  std::uint8_t m_byMode = 0;  // 0 adding, 1 editing
  std::uint16_t m_wAccountCount = 0;
  int m_bModified = 0;
  int m_bEditingOwnAccount = 0;

 protected:
  bool OnInitDialog() override;

 private:
  void ShowEditGroup(bool show);
  void EnableSheetButtons(bool enable);
  void CleanEdit(int id, std::string& member);
  std::string m_strLifeTimeText[6];
  std::string m_strLevelText[4];
};
