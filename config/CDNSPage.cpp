#include "config/CDNSPage.h"
