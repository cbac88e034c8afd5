// The kelpzip commands. Each returns the process exit status: 0 success,
// 1 when the engine reported an error, 2 for a usage error.
#pragma once

#include <string>
#include <vector>

namespace kelp::cli {

using Args = std::vector<std::string>;

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

int ListCommand(const Args& args);
int CommentCommand(const Args& args);
int TestCommand(const Args& args);
int ExtractCommand(const Args& args);
int MakeExeCommand(const Args& args);
int MakeZipCommand(const Args& args);
int AddCommand(const Args& args);
int DeleteCommand(const Args& args);
int RenameCommand(const Args& args);
int CompareCommand(const Args& args);
int CheckCommand(const Args& args);
int RepairCommand(const Args& args);
int SpanCommand(const Args& args);

// Prints a usage error for `command` to standard error; returns kExitUsage.
int UsageError(const std::string& message);

}  // namespace kelp::cli
