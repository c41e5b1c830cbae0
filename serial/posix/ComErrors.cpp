#include "serial/ComErrors.h"

#include <cerrno>

const int TimeoutSystemCode = ETIMEDOUT;
