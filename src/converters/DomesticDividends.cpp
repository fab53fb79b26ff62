#include "converters/DomesticDividends.h"
