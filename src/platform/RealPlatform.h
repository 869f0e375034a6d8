#pragma once

#include "platform/Platform.h"

// The desktop implementations of every seam.
Platform makeRealPlatform();

// The same, with the product identity given rather than built in: the
// browser process takes it from the program that started it.
Platform makeRealPlatform(const WebsiteIdentity& identity);
