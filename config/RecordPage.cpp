#include "config/RecordPage.h"
