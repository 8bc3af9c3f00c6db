// Internal to the platform layer: the counter behind failWriteCallAfter, asked by every
// call of the write seam (open, write, sync, close, truncate, rename) in either OS half.
#pragma once

namespace platform::detail {

// True when this call of the write seam is the one a test asked to fail; it then acts as if
// the OS refused it. Each call counts once.
bool injectedWriteFault();

}  // namespace platform::detail
