#include "config/DownloadFilePage.h"
