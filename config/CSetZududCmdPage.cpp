#include "config/CSetZududCmdPage.h"
