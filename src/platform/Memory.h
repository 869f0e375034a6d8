#pragma once

// Hands memory that the allocator keeps free back to the system, after work
// that freed much at once (loading a large vault). Best effort: where the
// allocator has no such call it does nothing.
void releaseFreeMemory();
