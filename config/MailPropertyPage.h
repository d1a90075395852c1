// The "Mail" page of the configuration sheet: the mail server, the sender and the recipients
// of alarm mail. Recipients are listed as bare addresses and stored as "name <address>".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "config/MailAddressForm.h"
#include "ui/PropertySheet.h"
#include "ui/Window.h"

enum MailPageControl : int {
  IDC_MAIL_USER = 1042,
  IDC_MAIL_PASSWORD = 1043,
  IDC_MAIL_SERVER = 1044,
  IDC_MAIL_FROM = 1045,
  IDC_MAIL_INFO = 1068,
  IDC_MAIL_DELETE = 1117,
  IDC_MAIL_ADD = 1118,
  IDC_MAIL_EDIT = 1119,
  IDC_MAIL_LIST = 1267,
  IDC_MAIL_VERIFY_YES = 1268,
  IDC_MAIL_VERIFY_NO = 1269,
};

// The recipient editor "Mail Account Edit": a label and one address.
class CMailAccountEditDlg : public ui::Window {
  Q_OBJECT

 public:
  enum : int { IDC_EDIT_LABEL = 1274, IDC_EDIT_ADDRESS = 1040 };
  explicit CMailAccountEditDlg(QWidget* parent = nullptr);
  std::string m_strLabel;
  std::string m_strAddress;

 protected:
  bool OnInitDialog() override;
  // OK keeps the editor open while the address would not fit a recipient entry.
  void OnOK() override;
};

class MailPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit MailPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Mail"), parent) {}

  // Converts in place between a bare address and the stored form: direction 0 to
  // "name <address>" (or "<address>" without a name), direction 1 back to the address. A
  // stored text without "<" before a ">" is left as it stands. Returns 1.
  static int ConvertMailAddress(std::string& text, int direction) { return ConvertMailAddressText(text, direction); }
  // The longest sender address the connected firmware keeps: 42, 31 (K40R) or 15.
  static int MailFromLimit();

  void OnButtonAdd();
  void OnButtonDelete();
  void OnButtonEdit();
  void OnClickVerifyYes();
  void OnClickVerifyNo();
  void OnChangeMailFrom();
  void DoDataExchange(ui::DataExchange& dx) override;

  // The listed recipients (bare addresses) in list order.
  std::vector<std::string> Recipients() const;

  std::uint8_t m_byRecipientCount = 0;
  std::string m_strMailFrom;
  std::string m_strSmtpServer;
  std::string m_strSmtpPassword;
  std::string m_strSmtpUser;
  std::uint8_t m_bySmtpVerify = 0;  // 2 the server needs user and password, 0 not
  int m_bRecipientsChanged = 0;

 protected:
  bool OnInitDialog() override;

 private:
  // Runs the recipient editor; true when it ended with OK.
  bool RunEditor(unsigned labelId, std::string& address);
};
