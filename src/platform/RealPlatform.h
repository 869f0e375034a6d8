#pragma once

#include "platform/Platform.h"

// The desktop implementations of every seam.
Platform makeRealPlatform();
