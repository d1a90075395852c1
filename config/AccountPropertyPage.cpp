#include "config/AccountPropertyPage.h"
