#include "config/COnlineUserPage.h"
