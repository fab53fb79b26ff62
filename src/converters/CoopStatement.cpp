#include "converters/CoopStatement.h"
