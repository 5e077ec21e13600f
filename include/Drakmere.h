#pragma once

// Drakmere: the drawing kernel. A host includes this one header.

#include "Fendral.h"
#include "kernel/drakmere_api.h"
#include "kernel/stream/result.h"
#include "kernel/database/object.h"
#include "kernel/database/object_list.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/xdata.h"
#include "kernel/database/system_setting.h"
#include "kernel/operation/undo_redo.h"
#include "kernel/operation/operation.h"
