#include "config/DVRRecordPage.h"
