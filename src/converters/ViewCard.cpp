#include "converters/ViewCard.h"
