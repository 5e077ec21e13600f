// The drawing kernel. Its parts are built from the folders beside this file.
#include "kernel/drakmere_api.h"
