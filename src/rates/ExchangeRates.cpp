#include "rates/ExchangeRates.h"
