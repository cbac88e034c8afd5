// Both libraries driven as the program drives them: each call is a request
// the engine runs, filling the parameter blocks itself. What the libraries
// report through their callbacks is kept for the checks.
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/param_blocks.h"
#include "engine/zip_engine.h"
#include "tests/fixtures/request_values.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace libtest {

using namespace kelp::engine;

class Engine : public ZipEngine {
  public:
    Engine() {
        Unattended = true;
        OnMessage = [this](int, const std::string& text) { messages += text + "\n"; };
        OnExtractSkipped = [this](const std::string& name, uint8_t, int) { skipped.insert(name); };
        OnCRC32Error = [this](const std::string&, uint32_t found, uint32_t expected, bool& keep) {
            crcErrors.emplace_back(found, expected);
            keep = keepBadData;
        };
    }
    // Runs `request` with `folder` as the current folder (add lines are read
    // there); the count the library returned.
    template <typename Request>
    int Call(const Request& request, const std::string& folder = "") {
        const auto cwd = std::filesystem::current_path();
        if (!folder.empty()) std::filesystem::current_path(folder);
        Run(request);
        std::filesystem::current_path(cwd);
        return SuccessCount();
    }
    // Runs a block the engine filled straight through the library's entry.
    template <typename Block>
    int Exec(Block& block, const char* file, const char* entry) {
        block.SetEndMarker();
        void* lib = dlopen((std::string(KELP_LIB_DIR) + "/" + file).c_str(), RTLD_NOW);
        auto exec = lib ? reinterpret_cast<int32_t (*)(void*)>(dlsym(lib, entry)) : nullptr;
        const int result = exec ? exec(block.Data()) : -1;
        if (lib) dlclose(lib);
        return result;
    }

    std::string messages;
    std::set<std::string> skipped;
    std::vector<std::pair<uint32_t, uint32_t>> crcErrors;  // found, expected
    bool keepBadData = false;
};

}  // namespace libtest
