// The test seam of the platform layer's writes: tests make one call of any write step fail
// to show that no failure costs a stored byte.
#pragma once

namespace platform {

// Test seam: the n-th call (1-based, counting from now) of the write seam (open, access,
// write, modification time, sync, close, truncate, rename, directory sync) fails as if the
// OS refused it; one call only, then the seam works again. A failing write first writes half
// its bytes, as a write that meets a full disk does. 0 switches the fault off.
void failWriteCallAfter(int n);

}  // namespace platform
