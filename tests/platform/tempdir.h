#pragma once
#include "tests/support/TempDir.h"
