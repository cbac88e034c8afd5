// Deflate64 (ZIP method 9): deflate with a 64 KiB window, length code 285
// carrying 16 extra bits and distance codes 30 and 31. No maintained library
// decodes it, so this is Kelp's own streaming decoder, written for hostile
// input: every table is checked while it is built and every distance
// against the bytes produced so far.
#pragma once

#include <memory>

#include "method_decoders.h"

namespace kelp::zip {

std::unique_ptr<MethodDecoder> MakeDeflate64Decoder();

}  // namespace kelp::zip
