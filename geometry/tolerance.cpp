#include "geometry/tolerance.h"

// Constant-initialised: readers in other libraries may run during their own load.
double resabs = 1e-6;
double resnor = 1e-10;
double resfit = 1e-3;
double resmch = 1e-10;

bool g_y_dir = true;
bool g_x_dir = true;
