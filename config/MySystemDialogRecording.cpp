#include "config/MySystemDialog.h"

// The snapshot rows and apply steps of the camera, time-server, timer, date and record-setting
// pages. A page the operator never opened contributes nothing.

void MySystemDialog::SaveOriginalRecordingSettings() {}

int MySystemDialog::ApplyCameraPage(CameraPage&) { return 1; }
int MySystemDialog::ApplySntpPage(CSNTPPage&) { return 1; }
int MySystemDialog::ApplyTimerRecordPage(TimerRecordPage&) { return 1; }
int MySystemDialog::ApplyDvrDatePage(DVRDatePage&) { return 1; }
int MySystemDialog::ApplyDvrRecordPage(DVRRecordPage&) { return 1; }
