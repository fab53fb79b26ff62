#include "rates/QtHttpTransport.h"
