#include "config/AccountPropertyPage.h"

#include <QLineEdit>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "config/DigitEdit.h"
#include "config/MySystemDialog.h"
#include "config/NetPageControls.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/Sections.h"

namespace {

constexpr std::int32_t kLifeMinutes[6] = {1, 5, 10, 60, 1440, -1};
constexpr std::uint16_t kLevelCodes[4] = {30, 20, 10, 0};

const int kEditGroup[] = {IDC_ACC_USER_LABEL, IDC_ACC_PASSWORD_LABEL, IDC_ACC_LIFETIME_LABEL, IDC_ACC_LEVEL_LABEL,
                          IDC_ACC_USER,       IDC_ACC_PASSWORD,       IDC_ACC_LIFETIME,       IDC_ACC_LEVEL,
                          IDC_ACC_OK,         IDC_ACC_EXIT};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string LoggedInUser() {
  pagemodel::IModel* model = pagemodel::Current();
  return model ? model->Settings().m_strUsername.Get() : std::string();
}

}  // namespace

std::string AccountPropertyPage::LevelText(int code) {
  switch (code) {
    case 0: return LoadStr(IDS_LEVEL_GUEST);
    case 10: return LoadStr(IDS_LEVEL_NORMAL_USER);
    case 20: return LoadStr(IDS_LEVEL_HIGH_USER);
    default: return LoadStr(IDS_LEVEL_SUPERVISOR);
  }
}

std::string AccountPropertyPage::LifeTimeTextOfMinutes(std::int32_t minutes) {
  if (minutes == -1) return LoadStr(IDS_LIFE_INFINITY);
  if (minutes == 1440) return LoadStr(IDS_LIFE_1_DAY);
  if (minutes == 60) return LoadStr(IDS_LIFE_1_HOUR);
  return std::to_string(static_cast<std::uint32_t>(minutes)) + " " + LoadStr(IDS_LIFE_MIN);
}

bool AccountPropertyPage::OnInitDialog() {
  using namespace netpage;
  const float scale = static_cast<float>(pagemodel::Scale());
  auto* list = new ui::ReportList(this);
  Place(*this, IDC_ACC_LIST, list, 10, 10, 420, 130);
  Label(*this, -1, "Max User(s) :", 20, 150, 100);
  DigitEdit(*this, IDC_ACC_MAXUSER, 120, 148, 50);
  Button(*this, IDC_ACC_ADD, "ADD", 190, 148);
  Button(*this, IDC_ACC_DELETE, "DELETE", 275, 148);
  Button(*this, IDC_ACC_EDIT, "EDIT", 360, 148, 70);
  Label(*this, IDC_ACC_USER_LABEL, "Username :", 20, 190, 90);
  Edit(*this, IDC_ACC_USER, 120, 188, 150);
  Label(*this, IDC_ACC_PASSWORD_LABEL, "Password :", 20, 220, 90);
  Edit(*this, IDC_ACC_PASSWORD, 120, 218, 150, true);
  Label(*this, IDC_ACC_LIFETIME_LABEL, "Life time :", 20, 250, 90);
  List(*this, IDC_ACC_LIFETIME, {"1    Min", "5    Min", "10  Min", "1    Hour", "1    Day", "INFINITY"}, 120, 248,
       150);
  Label(*this, IDC_ACC_LEVEL_LABEL, "User level :", 20, 280, 90);
  List(*this, IDC_ACC_LEVEL, {"SUPERVISOR", "HIGH         USER", "NORMAL   USER", "GUEST"}, 120, 278, 150);
  Button(*this, IDC_ACC_OK, "OK", 290, 218);
  Button(*this, IDC_ACC_EXIT, "EXIT", 290, 248);

  OnCommand(IDC_ACC_ADD, [this] { OnButtonAdd(); });
  OnCommand(IDC_ACC_DELETE, [this] { OnButtonDelete(); });
  OnCommand(IDC_ACC_EDIT, [this] { OnButtonEdit(); });
  OnCommand(IDC_ACC_OK, [this] { OnButtonOK(); });
  OnCommand(IDC_ACC_EXIT, [this] { OnButtonExit(); });
  OnChange(IDC_ACC_MAXUSER, [this] { OnChangeMaxUser(); });
  OnChange(IDC_ACC_USER, [this] { OnChangeUsername(); });
  OnChange(IDC_ACC_PASSWORD, [this] { OnChangePassword(); });

  // 1. The edit group stays hidden until ADD or EDIT.
  ShowEditGroup(false);
  sect::SecureSection secure;
  pagemodel::IModel* model = pagemodel::Current();
  if (model) {
    model->WithSections([&](const pagemodel::Sections& sections) {
      sect::SecureSection::Decode(sections.Data(SYSCFG_SECURE), sections[SYSCFG_SECURE].size(), secure);
    });
  }
  m_nMaxUsers = secure.maxUsers;
  list->InsertColumn(0, QString::fromLatin1(LoadStr(IDS_COL_USER_NAME)), static_cast<int>(80 * scale));
  list->InsertColumn(1, QString::fromLatin1(LoadStr(IDS_COL_USER_LEVEL)), static_cast<int>(130 * scale));
  list->InsertColumn(2, QString::fromLatin1(LoadStr(IDS_COL_LIFE_TIME)), static_cast<int>(130 * scale));
  m_wAccountCount = 0;
  const std::string min = LoadStr(IDS_LIFE_MIN);
  m_strLifeTimeText[0] = "1  " + min;
  m_strLifeTimeText[1] = "5  " + min;
  m_strLifeTimeText[2] = "10 " + min;
  m_strLifeTimeText[3] = LoadStr(IDS_LIFE_1_HOUR);
  m_strLifeTimeText[4] = LoadStr(IDS_LIFE_1_DAY);
  m_strLifeTimeText[5] = LoadStr(IDS_LIFE_INFINITY);
  m_strLevelText[0] = LoadStr(IDS_LEVEL_SUPERVISOR);
  m_strLevelText[1] = LoadStr(IDS_LEVEL_HIGH_USER);
  m_strLevelText[2] = LoadStr(IDS_LEVEL_NORMAL_USER);
  m_strLevelText[3] = LoadStr(IDS_LEVEL_GUEST);
  if (model) {
    for (AccountSlot& slot : model->Accounts()) slot.f_InUse = 0;
    for (std::size_t i = 0; i < sect::SecureSection::kSlots; ++i) {
      if (secure.userName[i].empty()) continue;
      AccountSlot& slot = model->Accounts()[m_wAccountCount];
      slot.strUser = secure.userName[i];
      slot.strPassword = secure.password[i];
      slot.w_Level = secure.level[i];
      slot.dw_LifeTime = secure.lifeTime[i];
      slot.f_InUse = 1;
      const int row = list->InsertItem(m_wAccountCount, QString::fromStdString(slot.strUser));
      list->SetItemText(row, 1, QString::fromStdString(LevelText(slot.w_Level)));
      list->SetItemText(row, 2, QString::fromStdString(LifeTimeTextOfMinutes(slot.dw_LifeTime)));
      ++m_wAccountCount;
    }
  }
  m_bEditingOwnAccount = 0;
  return UpdateData(false);
}

void AccountPropertyPage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_ACC_LIFETIME, m_nLifeTimeChoice);
  dx.Text(IDC_ACC_PASSWORD, m_strAccountPassword, kTextLimit);
  dx.ListIndex(IDC_ACC_LEVEL, m_nLevelChoice);
  dx.Text(IDC_ACC_USER, m_strAccountUser, kTextLimit);
  auto* max = Item<QLineEdit>(IDC_ACC_MAXUSER);
  if (!max) return;
  if (!dx.Saving()) {
    max->setText(QString::number(m_nMaxUsers));
    return;
  }
  const std::string text = max->text().toStdString();
  // An emptied edit keeps the last maximum (leaving the page asks for one).
  if (text.empty()) return;
  // The edit takes digits only; the recorder keeps the maximum in one byte.
  m_nMaxUsers = text.size() > 3 ? 255u : std::min(255u, static_cast<unsigned>(std::stoul(text)));
}

void AccountPropertyPage::ShowEditGroup(bool show) {
  for (int id : kEditGroup) {
    ShowDlgItem(id, show);
    EnableDlgItem(id, show);
  }
}

void AccountPropertyPage::EnableSheetButtons(bool enable) {
  if (auto* sheet = dynamic_cast<MySystemDialog*>(Sheet())) {
    if (enable) {
      sheet->EnableSheetButtons();
    } else {
      sheet->DisableSheetButtons();
    }
  }
}

void AccountPropertyPage::OnButtonAdd() {
  // The recorder has five account slots, whatever maximum it reports.
  if (m_wAccountCount >= kSlots) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_ACCOUNT_MEMORY_NOT_ENOUGH));
    return;
  }
  if (m_nMaxUsers - 1 < m_wAccountCount) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_ADD_ACCOUNT_FAILED));
    return;
  }
  ShowEditGroup(true);
  for (int id : {IDC_ACC_ADD, IDC_ACC_DELETE, IDC_ACC_EDIT}) EnableDlgItem(id, false);
  m_nLifeTimeChoice = -1;
  m_nLevelChoice = -1;
  m_strAccountUser.clear();
  m_strAccountPassword.clear();
  UpdateData(false);
  m_byMode = 0;
  EnableSheetButtons(false);
}

void AccountPropertyPage::OnButtonEdit() {
  auto* list = Item<ui::ReportList>(IDC_ACC_LIST);
  pagemodel::IModel* model = pagemodel::Current();
  if (!list || !model) return;
  if (list->GetItemCount() == 0) plat::MessageBox(Hwnd(), LoadStr(IDS_NO_ITEM_TO_EDIT));
  const int row = list->GetSelectedRow();
  if (row < 0 || row >= kSlots) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SELECT_ACCOUNT_TO_EDIT));
    return;
  }
  const AccountSlot& slot = model->Accounts()[static_cast<std::size_t>(row)];
  m_bEditingOwnAccount = SameIgnoringCase(slot.strUser, LoggedInUser()) ? 1 : 0;
  ShowEditGroup(true);
  for (int id : {IDC_ACC_ADD, IDC_ACC_DELETE, IDC_ACC_EDIT}) EnableDlgItem(id, false);
  switch (slot.w_Level) {
    case 30: m_nLevelChoice = 0; break;
    case 20: m_nLevelChoice = 1; break;
    case 10: m_nLevelChoice = 2; break;
    default: m_nLevelChoice = 3; break;
  }
  m_nLifeTimeChoice = 5;
  for (int i = 0; i < 5; ++i) {
    if (slot.dw_LifeTime == kLifeMinutes[i]) m_nLifeTimeChoice = i;
  }
  m_strAccountUser = slot.strUser;
  m_strAccountPassword = slot.strPassword;
  UpdateData(false);
  m_byMode = 1;
  list->setEnabled(false);
  EnableSheetButtons(false);
}

void AccountPropertyPage::OnButtonDelete() {
  auto* list = Item<ui::ReportList>(IDC_ACC_LIST);
  pagemodel::IModel* model = pagemodel::Current();
  if (!list || !model) return;
  if (list->GetItemCount() == 0) plat::MessageBox(Hwnd(), LoadStr(IDS_NO_ITEM_TO_DELETE));
  const int row = list->GetSelectedRow();
  if (row < 0 || row >= kSlots) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SELECT_ACCOUNT_TO_DELETE));
    return;
  }
  AccountSlot* accounts = model->Accounts().data();
  if (SameIgnoringCase(accounts[row].strUser, LoggedInUser())) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CANNOT_DELETE_OWN_ACCOUNT));
    return;
  }
  list->DeleteItem(row);
  for (int i = row; i < kSlots; ++i) {
    if (i < kSlots - 1 && accounts[i + 1].f_InUse) {
      accounts[i].w_Level = accounts[i + 1].w_Level;
      accounts[i].dw_LifeTime = accounts[i + 1].dw_LifeTime;
      accounts[i].strUser = accounts[i + 1].strUser;
      accounts[i].strPassword = accounts[i + 1].strPassword;
      accounts[i].f_InUse = 1;
    } else {
      accounts[i].f_InUse = 0;
    }
  }
  if (m_wAccountCount > 0) --m_wAccountCount;
  m_bModified = 1;
}

void AccountPropertyPage::OnButtonOK() {
  ShowEditGroup(false);
  for (int id : {IDC_ACC_ADD, IDC_ACC_DELETE, IDC_ACC_EDIT}) EnableDlgItem(id, true);
  UpdateData(true);
  auto* list = Item<ui::ReportList>(IDC_ACC_LIST);
  pagemodel::IModel* model = pagemodel::Current();
  if (!list || !model) return;
  AccountSlot* accounts = model->Accounts().data();
  const bool missing = m_strAccountPassword.empty() || m_strAccountUser.empty() || m_nLifeTimeChoice < 0 ||
                       m_nLevelChoice < 0;
  auto nameTaken = [&](int except) {
    for (int i = 0; i < kSlots; ++i) {
      if (i != except && accounts[i].f_InUse && accounts[i].strUser == m_strAccountUser) return true;
    }
    return false;
  };
  const int lifeChoice = m_nLifeTimeChoice >= 0 && m_nLifeTimeChoice < 6 ? m_nLifeTimeChoice : 0;
  if (m_byMode == 1) {
    const int row = list->GetSelectedRow();
    list->setEnabled(true);
    EnableSheetButtons(true);
    if (missing) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_EDIT_ACCOUNT_FAILED));
      return;
    }
    if (row < 0 || row >= kSlots) return;
    if (nameTaken(row)) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_USERNAME_EXISTS));
      return;
    }
    AccountSlot& slot = accounts[row];
    if (m_bEditingOwnAccount) {
      // The logged-in account keeps its level on the recorder.
      m_nLevelChoice = 0;
    } else {
      slot.w_Level = m_nLevelChoice >= 0 && m_nLevelChoice < 4 ? kLevelCodes[m_nLevelChoice] : 0;
    }
    slot.dw_LifeTime = kLifeMinutes[lifeChoice];
    if (m_bEditingOwnAccount) {
      model->Settings().m_strUsername.Set(m_strAccountUser);
      model->Settings().m_strPassword.Set(m_strAccountPassword);
    }
    slot.strUser = m_strAccountUser;
    slot.strPassword = m_strAccountPassword;
    list->SetItemText(row, 0, QString::fromStdString(m_strAccountUser));
    list->SetItemText(row, 1, QString::fromStdString(m_strLevelText[m_nLevelChoice < 4 ? m_nLevelChoice : 3]));
    list->SetItemText(row, 2, QString::fromStdString(m_strLifeTimeText[lifeChoice]));
    m_bModified = 1;
    m_bEditingOwnAccount = 0;
  } else if (m_byMode == 0) {
    EnableSheetButtons(true);
    if (missing) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_ADD_ACCOUNT_FAILED));
      return;
    }
    if (nameTaken(-1)) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_USERNAME_EXISTS));
      return;
    }
    if (m_wAccountCount >= kSlots) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_ACCOUNT_MEMORY_NOT_ENOUGH));
      return;
    }
    if (m_nMaxUsers - 1 < m_wAccountCount) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_ADD_ACCOUNT_FAILED));
      return;
    }
    const int row = list->InsertItem(m_wAccountCount, QString::fromStdString(m_strAccountUser));
    list->SetItemText(row, 1, QString::fromStdString(m_strLevelText[m_nLevelChoice < 4 ? m_nLevelChoice : 3]));
    list->SetItemText(row, 2, QString::fromStdString(m_strLifeTimeText[lifeChoice]));
    AccountSlot& slot = accounts[m_wAccountCount];
    slot.w_Level = m_nLevelChoice < 4 ? kLevelCodes[m_nLevelChoice] : 0;
    slot.dw_LifeTime = kLifeMinutes[lifeChoice];
    slot.strUser = m_strAccountUser;
    slot.strPassword = m_strAccountPassword;
    slot.f_InUse = 1;
    ++m_wAccountCount;
    m_bModified = 1;
  }
}

void AccountPropertyPage::OnButtonExit() {
  ShowEditGroup(false);
  for (int id : {IDC_ACC_ADD, IDC_ACC_DELETE, IDC_ACC_EDIT}) EnableDlgItem(id, true);
  m_nLifeTimeChoice = -1;
  m_nLevelChoice = -1;
  m_strAccountUser.clear();
  m_strAccountPassword.clear();
  UpdateData(false);
  if (auto* list = Item<ui::ReportList>(IDC_ACC_LIST)) list->setEnabled(true);
  EnableSheetButtons(true);
}

// A typed maximum is kept to its digits and to 1..5. Only this edit is rewritten.
void AccountPropertyPage::OnChangeMaxUser() {
  auto* edit = Item<QLineEdit>(IDC_ACC_MAXUSER);
  std::string text;
  if (!digitedit::Typed(edit, text)) return;
  if (text.empty()) {
    netpage::RewriteEdit(edit, text);
    return;
  }
  unsigned value = static_cast<unsigned>(digitedit::Value(text, 3, 999u));
  if (value > 5) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_MAX_USER_RANGE));
    value = 5;
  } else if (value == 0) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_MAX_USER_RANGE));
    value = 3;
  }
  m_nMaxUsers = value;
  netpage::RewriteEdit(edit, std::to_string(value));
}

// Names and passwords take no blanks: they are removed as they are typed.
void AccountPropertyPage::CleanEdit(int id, std::string& member) {
  auto* edit = Item<QLineEdit>(id);
  if (!edit) return;
  std::string text = edit->text().toStdString();
  if (text.empty()) return;
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  member = text;
  if (text != edit->text().toStdString()) netpage::RewriteEdit(edit, text);
  edit->setCursorPosition(static_cast<int>(edit->text().size()));
}

void AccountPropertyPage::OnChangeUsername() { CleanEdit(IDC_ACC_USER, m_strAccountUser); }
void AccountPropertyPage::OnChangePassword() { CleanEdit(IDC_ACC_PASSWORD, m_strAccountPassword); }

bool AccountPropertyPage::OnKillActive() {
  if (netpage::EditText(*this, IDC_ACC_MAXUSER).empty()) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_MAX_USER_EMPTY));
    return false;
  }
  OnButtonExit();
  return UpdateData(true);
}
