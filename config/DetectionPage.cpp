#include "config/DetectionPage.h"
