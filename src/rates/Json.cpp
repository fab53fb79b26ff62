#include "rates/Json.h"
