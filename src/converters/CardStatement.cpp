#include "converters/CardStatement.h"
