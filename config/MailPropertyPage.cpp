#include "config/MailPropertyPage.h"
