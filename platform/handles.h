#pragma once

#include "platform/platform_api.h"

// Number of live GDI objects (bitmaps, device contexts, pens, brushes, fonts,
// metafiles) that the process
// created and has not deleted yet; stock objects are not counted. Tests compare it before and
// after a piece of code to catch a missing DeleteObject or DeleteDC.
PLATFORM_API long platform_gdi_object_count();
