#include "config/CK4RPeripheral.h"
