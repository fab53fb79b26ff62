#include "text/NumberText.h"
