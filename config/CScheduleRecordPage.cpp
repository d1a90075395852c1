#include "config/CScheduleRecordPage.h"
