// Conversion between the two character sets archive names come in: the OEM
// code page of old archivers (CP437) and this platform's ANSI code page (UTF-8).
#pragma once

#include <string>

namespace kelp::platform {

// CP437 bytes to UTF-8. Plain ASCII comes back unchanged.
std::string OemToAnsi(const std::string& text);
// UTF-8 to CP437; characters CP437 cannot hold, and bytes that are not valid
// UTF-8, become "?".
std::string AnsiToOem(const std::string& text);

}  // namespace kelp::platform
