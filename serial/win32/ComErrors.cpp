#include "serial/ComErrors.h"

const int TimeoutSystemCode = 1460;  // ERROR_TIMEOUT
