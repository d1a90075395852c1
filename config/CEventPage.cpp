#include "config/CEventPage.h"
