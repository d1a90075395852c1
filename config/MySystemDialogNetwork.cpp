#include "config/MySystemDialog.h"

// The snapshot rows and apply steps of the network, DDNS, mail, FTP and account pages. A page
// the operator never opened contributes nothing.

void MySystemDialog::SaveOriginalNetworkSettings() {}

int MySystemDialog::ApplyAccountPage(AccountPropertyPage&) { return 1; }
int MySystemDialog::ApplyMailPage(MailPropertyPage&) { return 1; }
int MySystemDialog::ApplyFtpPage(FTPPropertyPage&) { return 1; }
int MySystemDialog::ApplyDnsPage(CDNSPage&) { return 1; }
// 1 when the recorder's address, gateway, mask, web port or address type was sent.
int MySystemDialog::ApplyNetworkPage(NetworkConfigPage&) { return 0; }
