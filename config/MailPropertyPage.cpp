#include "config/MailPropertyPage.h"
#include "config/PageModel.h"

#include <QLineEdit>

#include "config/NetPageControls.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/Sections.h"

namespace {

}  // namespace

// ---- the recipient editor ------------------------------------------------------------------

CMailAccountEditDlg::CMailAccountEditDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle(QStringLiteral("Mail Account Edit"));
}

bool CMailAccountEditDlg::OnInitDialog() {
  resize(360, 110);
  auto* label = new QLabel(QString::fromStdString(m_strLabel), this);
  label->setGeometry(15, 20, 60, 22);
  AddControl(IDC_EDIT_LABEL, label);
  auto* edit = new QLineEdit(this);
  edit->setGeometry(80, 18, 260, 22);
  edit->setMaxLength(63);
  edit->setText(QString::fromStdString(m_strAddress));
  AddControl(IDC_EDIT_ADDRESS, edit);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(80, 65, 90, 26);
  ok->setDefault(true);
  AddControl(plat::IDOK, ok);
  auto* cancel = new QPushButton(QStringLiteral("CANCEL"), this);
  cancel->setGeometry(200, 65, 90, 26);
  AddControl(plat::IDCANCEL, cancel);
  OnCommand(plat::IDOK, [this] { OnOK(); });
  OnCommand(plat::IDCANCEL, [this] { OnCancel(); });
  return true;
}

void CMailAccountEditDlg::OnOK() {
  std::string address = GetDlgItemText(IDC_EDIT_ADDRESS).toStdString();
  std::string stored = address;
  MailPropertyPage::ConvertMailAddress(stored, 0);
  if (stored.size() > kMailToStoredLimit) {
    plat::MessageBox(Hwnd(), "This address is too long for the recorder: with its name it may have at most " +
                                 std::to_string(kMailToStoredLimit) + " characters.");
    return;
  }
  m_strAddress = address;
  EndDialog(plat::IDOK);
}

// ---- the page ------------------------------------------------------------------------------

int MailPropertyPage::MailFromLimit() {
  switch (sect::MailFromMoreOf(pagemodel::ConnectedDevice())) {
    case sect::MailFromMore::Sntp:
    case sect::MailFromMore::System:
      return 42;
    case sect::MailFromMore::SystemK40R:
      return 31;
    case sect::MailFromMore::None:
      break;
  }
  return 15;
}

bool MailPropertyPage::OnInitDialog() {
  using namespace netpage;
  Label(*this, -1, "Server :", 20, 20, 90);
  Edit(*this, IDC_MAIL_SERVER, 120, 18, 300);
  Label(*this, -1, "Mail from :", 20, 50, 90);
  Edit(*this, IDC_MAIL_FROM, 120, 48, 300);
  Group(*this, -1, "Verify Password", 10, 80, 420, 100);
  Label(*this, -1, "Verify :", 20, 100, 90);
  Radio(*this, IDC_MAIL_VERIFY_YES, "Yes", 120, 100, 60);
  Radio(*this, IDC_MAIL_VERIFY_NO, "No", 190, 100, 60);
  Label(*this, -1, "User :", 20, 125, 90);
  Edit(*this, IDC_MAIL_USER, 120, 123, 250);
  Label(*this, -1, "Password :", 20, 152, 90);
  Edit(*this, IDC_MAIL_PASSWORD, 120, 150, 250, true);
  Group(*this, -1, "Modify alarm email address ", 10, 190, 420, 160);
  Button(*this, IDC_MAIL_ADD, "ADD", 20, 210);
  Button(*this, IDC_MAIL_DELETE, "DELETE", 110, 210);
  Button(*this, IDC_MAIL_EDIT, "EDIT", 200, 210);
  auto* list = new ui::ReportList(this);
  Place(*this, IDC_MAIL_LIST, list, 20, 240, 400, 100);
  list->InsertColumn(0, QString::fromLatin1(LoadStr(IDS_MAIL_ACCOUNT)), 300);
  Button(*this, IDC_MAIL_INFO, "MAIL INFO", 300, 210)->hide();

  OnCommand(IDC_MAIL_ADD, [this] { OnButtonAdd(); });
  OnCommand(IDC_MAIL_DELETE, [this] { OnButtonDelete(); });
  OnCommand(IDC_MAIL_EDIT, [this] { OnButtonEdit(); });
  OnCommand(IDC_MAIL_VERIFY_YES, [this] { OnClickVerifyYes(); });
  OnCommand(IDC_MAIL_VERIFY_NO, [this] { OnClickVerifyNo(); });
  OnCommand(IDC_MAIL_INFO, [] {});
  OnChange(IDC_MAIL_FROM, [this] { OnChangeMailFrom(); });

  const sect::Device d = pagemodel::ConnectedDevice();
  sect::SmtpSection smtp;
  if (pagemodel::IModel* model = pagemodel::Current()) {
    // The addresses are copied out under the configuration lock; the list is filled after it.
    std::vector<std::string> recipients;
    model->WithSections([&](const pagemodel::Sections& sections) {
      sect::SmtpSection::Decode(sections.Data(SYSCFG_SMTP), sections[SYSCFG_SMTP].size(), smtp);
      m_strMailFrom = sect::ReadMailFrom(d, sections.Data(SYSCFG_SMTP), sections.Data(SYSCFG_SYSTEM), sections.Data(SYSCFG_SNTP));
      recipients = ReadMailRecipients(sections.Data(SYSCFG_SMTP));
    });
    m_byRecipientCount = 0;
    for (const std::string& address : recipients) {
      list->InsertItem(m_byRecipientCount++, QString::fromStdString(address));
    }
  }
  m_strSmtpServer = smtp.smtpServer;
  m_strSmtpPassword = smtp.smtpPassword;
  m_strSmtpUser = smtp.smtpUser;
  m_bySmtpVerify = smtp.smtpVerify;
  SetCheck(*this, IDC_MAIL_VERIFY_YES, m_bySmtpVerify == 2);
  SetCheck(*this, IDC_MAIL_VERIFY_NO, m_bySmtpVerify == 0);
  EnableDlgItem(IDC_MAIL_USER, m_bySmtpVerify != 0);
  EnableDlgItem(IDC_MAIL_PASSWORD, m_bySmtpVerify != 0);
  return UpdateData(false);
}

void MailPropertyPage::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_MAIL_FROM, m_strMailFrom, MailFromLimit());
  dx.Text(IDC_MAIL_SERVER, m_strSmtpServer, 63);
  dx.Text(IDC_MAIL_PASSWORD, m_strSmtpPassword, 31);
  dx.Text(IDC_MAIL_USER, m_strSmtpUser, 31);
}

std::vector<std::string> MailPropertyPage::Recipients() const {
  std::vector<std::string> out;
  if (auto* list = Item<ui::ReportList>(IDC_MAIL_LIST)) {
    for (int i = 0; i < list->GetItemCount(); ++i) out.push_back(list->GetItemText(i, 0).toStdString());
  }
  return out;
}

bool MailPropertyPage::RunEditor(unsigned labelId, std::string& address) {
  CMailAccountEditDlg editor(this);
  editor.m_strLabel = LoadStr(labelId);
  editor.m_strAddress = address;
  if (editor.DoModal() != plat::IDOK) return false;
  address = editor.m_strAddress;
  return true;
}

void MailPropertyPage::OnButtonAdd() {
  auto* list = Item<ui::ReportList>(IDC_MAIL_LIST);
  if (!list) return;
  if (m_byRecipientCount >= 4 || list->GetItemCount() >= 4) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_MAX_EMAIL_ACCOUNTS));
    return;
  }
  std::string address;
  if (!RunEditor(8329, address) || address.empty()) return;
  list->InsertItem(list->GetItemCount(), QString::fromStdString(address));
  ++m_byRecipientCount;
  m_bRecipientsChanged = 1;
}

void MailPropertyPage::OnButtonDelete() {
  auto* list = Item<ui::ReportList>(IDC_MAIL_LIST);
  const int row = list ? list->GetSelectedRow() : -1;
  if (row < 0) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SELECT_EMAIL_TO_DELETE));
    return;
  }
  if (m_byRecipientCount > 0) --m_byRecipientCount;
  list->DeleteItem(row);
  m_bRecipientsChanged = 1;
}

void MailPropertyPage::OnButtonEdit() {
  auto* list = Item<ui::ReportList>(IDC_MAIL_LIST);
  const int row = list ? list->GetSelectedRow() : -1;
  if (row < 0) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SELECT_EMAIL_TO_EDIT));
    return;
  }
  std::string address = list->GetItemText(row, 0).toStdString();
  if (!RunEditor(8330, address)) return;
  list->SetItemText(row, 0, QString::fromStdString(address));
  m_bRecipientsChanged = 1;
}

void MailPropertyPage::OnClickVerifyYes() {
  m_bySmtpVerify = 2;
  netpage::SetCheck(*this, IDC_MAIL_VERIFY_YES, true);
  netpage::SetCheck(*this, IDC_MAIL_VERIFY_NO, false);
  EnableDlgItem(IDC_MAIL_USER, true);
  EnableDlgItem(IDC_MAIL_PASSWORD, true);
}

void MailPropertyPage::OnClickVerifyNo() {
  m_bySmtpVerify = 0;
  netpage::SetCheck(*this, IDC_MAIL_VERIFY_YES, false);
  netpage::SetCheck(*this, IDC_MAIL_VERIFY_NO, true);
  EnableDlgItem(IDC_MAIL_USER, false);
  EnableDlgItem(IDC_MAIL_PASSWORD, false);
}

void MailPropertyPage::OnChangeMailFrom() {
  auto* edit = Item<QLineEdit>(IDC_MAIL_FROM);
  if (!edit) return;
  const int limit = MailFromLimit();
  if (edit->text().size() > limit) netpage::RewriteEdit(edit, edit->text().left(limit).toStdString());
}
