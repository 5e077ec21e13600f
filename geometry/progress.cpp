#include "geometry/progress.h"

long g_current_loading_object_index = 0;
