#include "settings/IntegerSyntax.h"
