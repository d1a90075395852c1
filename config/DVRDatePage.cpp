#include "config/DVRDatePage.h"
