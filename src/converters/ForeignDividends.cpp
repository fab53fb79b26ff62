#include "converters/ForeignDividends.h"
