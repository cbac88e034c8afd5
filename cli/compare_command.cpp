// kelpzip compare [-T] [--json] A B: the differences between two archives,
// or an archive and a folder, one line each in name order and a summary.
// Exit 0 when A and B hold the same, 1 when they differ, 2 on an error.
#include <cstdio>

#include "cli/commands.h"
#include "cli/line_output.h"
#include "engine/archive_compare.h"

namespace kelp::cli {

namespace {

constexpr int kExitDiffer = 1;
constexpr int kExitFailed = 2;

}  // namespace

int CompareCommand(const Args& args) {
    bool timesToo = false, json = false;
    std::vector<std::string> paths;
    for (const std::string& a : args) {
        if (a == "-T")
            timesToo = true;
        else if (a == "--json")
            json = true;
        else if (!a.empty() && a[0] == '-')
            return UsageError("unknown option '" + a + "'");
        else
            paths.push_back(a);
    }
    if (paths.size() != 2)
        return UsageError("compare needs two archives, or an archive and a folder");
    std::string error;
    const auto result = engine::CompareArchives(paths[0], paths[1], timesToo, error);
    if (!result) {
        std::fprintf(stderr, "kelpzip: %s\n", error.c_str());
        return kExitFailed;
    }

    Output out;
    uint64_t counts[3] = {};
    for (const auto& d : result->differences) ++counts[d.kind];
    if (json) {
        out << "[";
        for (size_t i = 0; i < result->differences.size(); ++i) {
            const auto& d = result->differences[i];
            out << (i ? ",\n " : "\n ") << "{\"change\": \"" << engine::DifferenceKindText(d.kind)
                << "\", \"name\": ";
            AppendJsonString(out, d.name);
            out << ", \"fields\": [";
            for (size_t f = 0; f < d.changes.size(); ++f) {
                if (f) out << ", ";
                AppendJsonString(out, d.changes[f]);
            }
            out << "]}";
        }
        out << (result->differences.empty() ? "]\n" : "\n]\n");
    } else {
        for (const auto& d : result->differences) {
            out << engine::DifferenceKindText(d.kind) << ": ";
            AppendEscaped(out, d.name);
            for (size_t f = 0; f < d.changes.size(); ++f) out << (f ? ", " : " (") << d.changes[f];
            out << (d.changes.empty() ? "\n" : ")\n");
        }
        out << counts[engine::MemberDifference::Added] << " added, "
            << counts[engine::MemberDifference::Removed] << " removed, "
            << counts[engine::MemberDifference::Changed] << " changed, " << uint64_t(result->same)
            << " the same\n";
    }
    return result->differences.empty() ? kExitOk : kExitDiffer;
}

}  // namespace kelp::cli
