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
#include "kernel/database/color.h"
#include "kernel/database/color_map.h"
#include "kernel/database/drawing_info.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/stream/byte_ring_buffer.h"
#include "kernel/stream/opcode.h"
#include "kernel/stream/rendition.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/compressed_data.h"
#include "kernel/operation/undo_redo.h"
#include "kernel/operation/operation.h"
