// Giving the memory a finished job freed back to the system.
#pragma once

namespace kelp::platform {

// Returns the free pages the allocator keeps inside its heaps to the system.
// The allocator keeps memory freed below a block still in use, so a job that
// made and freed a record per member of a large archive would otherwise
// leave the process tens of megabytes larger.
void ReturnFreedMemory();

}  // namespace kelp::platform
