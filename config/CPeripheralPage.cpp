#include "config/CPeripheralPage.h"
