#include "config/DevicePage.h"
