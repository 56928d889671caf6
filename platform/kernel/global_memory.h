// Kernel global memory, as seen by the rest of the layer.
#pragma once

// Blocks allocated with GlobalAlloc and not yet freed.
int kernel_live_global_blocks(void);
