// A call of the decompression library that salvages a damaged archive into
// a new one and reports each member lost, then how many were recovered.
#pragma once

#include <cstdint>

#include "unzip_request.h"

namespace kelp::kunzip {

// Returns the number of members recovered.
int32_t RunRepair(const UnzipRequest& request);

}  // namespace kelp::kunzip
