// The one thing the probe does differently on each side: starting the graphics
// services it draws with.
#pragma once

// Prepares drawing into memory DCs; returns 0 when that is impossible.
int probe_host_start(void);
