#include "app/TForm1.h"
