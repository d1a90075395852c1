#include "config/TimerRecordPage.h"
