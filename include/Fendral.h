#pragma once

// Fendral: the geometry base and the curve library. A host includes this one header.

#include "platform/fixed_width.h"
#include "platform/platform_api.h"
#include "platform/platform_info.h"
#include "platform/win_types.h"
#include "platform/handles.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "platform/snapshot.h"
#include "platform/system.h"
#include "platform/path.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "geometry/fendral_api.h"
#include "geometry/tolerance.h"
#include "geometry/angles.h"
#include "geometry/point.h"
#include "geometry/unit_dirs.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
