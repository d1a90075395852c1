#include "config/CAlarmTriggerPage.h"
