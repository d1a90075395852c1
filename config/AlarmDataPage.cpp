#include "config/AlarmDataPage.h"
