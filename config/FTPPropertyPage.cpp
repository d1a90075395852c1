#include "config/FTPPropertyPage.h"
