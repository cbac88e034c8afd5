// Opening an archive for a command: an engine wired to the terminal.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/terminal_host_ui.h"
#include "engine/zip_engine.h"

namespace kelp::cli {

struct OpenedArchive {
    TerminalHostUi host;
    engine::ZipEngine engine;
};

// Reads the directory of `path`, names that are not UTF-8 decoded from
// `nameCharset` (empty: the detected code page). Returns null after printing
// the reason when the file does not exist or its directory could not be read.
// `onMessage` (when given) hears the engine's messages while the directory is
// read.
std::unique_ptr<OpenedArchive> OpenArchive(
    const std::string& path, const std::string& nameCharset = {},
    const std::function<void(int, const std::string&)>& onMessage = {});

// Reads the value of -O CHARSET into `charset`; an exit status (after the
// message) when it is missing or iconv does not know it.
std::optional<int> ReadNameCharset(const std::string* value, std::string& charset);

}  // namespace kelp::cli
