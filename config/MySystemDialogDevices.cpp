#include "config/MySystemDialog.h"

// The snapshot rows and apply steps of the alarm, device, detection, peripheral and general
// pages. A page the operator never opened contributes nothing.

void MySystemDialog::SaveOriginalDeviceSettings() {}

int MySystemDialog::ApplyAlarmPage(AlarmPropertyPage&, CAlarmTriggerPage&) { return 1; }
int MySystemDialog::ApplyDevicePage(DevicePage&) {
  m_fDeviceTableChanged = 0;
  return 1;
}
int MySystemDialog::ApplyDetectionPage(DetectionPage&) { return 1; }
int MySystemDialog::ApplyPeripheralPage(CPeripheralPage&) {
  m_fPeripheralChanged = 0;
  return 1;
}
int MySystemDialog::ApplyGeneralPage(ToolBoxPropertyPage&) { return 1; }
