#include "config/CSNTPPage.h"
