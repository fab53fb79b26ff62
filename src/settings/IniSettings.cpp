#include "settings/IniSettings.h"
