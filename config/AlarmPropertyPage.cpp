#include "config/AlarmPropertyPage.h"
