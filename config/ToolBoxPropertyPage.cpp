#include "config/ToolBoxPropertyPage.h"
