#include "settings/IniFile.h"
