#include "config/CameraPage.h"
