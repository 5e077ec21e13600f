#pragma once

// Fendral: the geometry base and the curve library. A host includes this one header.

#include "platform/fixed_width.h"
#include "geometry/fendral_api.h"
#include "geometry/tolerance.h"
#include "geometry/angles.h"
#include "geometry/point.h"
#include "geometry/unit_dirs.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/rect.h"
#include "geometry/segment_predicates.h"
#include "geometry/plane_geometry.h"
#include "geometry/tessellation.h"
#include "geometry/user_lists.h"
