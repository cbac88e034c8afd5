// kelpzip repair BROKEN.zip FIXED.zip [--json]: salvages what can be found
// of a damaged archive into a new archive. One line per member lost, then
// "Recovered N of M members". Exit 0 when nothing was lost, 1 when
// something was (or nothing was found), 2 for a usage error or a file that
// cannot be read or written.
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/line_output.h"
#include "cli/terminal_host_ui.h"
#include "engine/zip_engine.h"

namespace kelp::cli {

namespace {

constexpr std::string_view kLostMark = "Lost: ";
constexpr std::string_view kUncheckedMark = "Kept unchecked: ";

struct RepairReport {
    std::vector<std::string> lost, unchecked, notes;  // lines without their mark
    std::string summary;
};

void PrintJson(const RepairReport& report, const std::string& fixed) {
    Output out;
    auto list = [&](const char* key, const std::vector<std::string>& items) {
        out << ",\n \"" << key << "\": [";
        for (size_t i = 0; i < items.size(); ++i) {
            out << (i ? ", " : "");
            AppendJsonString(out, items[i]);
        }
        out << "]";
    };
    out << "{\"output\": ";
    AppendJsonString(out, fixed);
    out << ",\n \"summary\": ";
    AppendJsonString(out, report.summary);
    list("lost", report.lost);
    list("kept_unchecked", report.unchecked);
    list("notes", report.notes);
    out << "\n}\n";
}

}  // namespace

int RepairCommand(const Args& args) {
    std::vector<std::string> files;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (!a.empty() && a[0] == '-')
            return UsageError("unknown option '" + a + "'");
        else
            files.push_back(a);
    }
    if (files.size() != 2)
        return UsageError("repair takes the damaged archive and the file to write");
    const std::string& broken = files[0];
    const std::string& fixed = files[1];
    std::error_code ec;
    if (!std::filesystem::is_regular_file(broken, ec)) {
        std::fprintf(stderr, "kelpzip: %s: no such archive\n", broken.c_str());
        return kExitUsage;
    }
    if (std::filesystem::equivalent(broken, fixed, ec))
        return UsageError("the repaired copy must be another file than " + broken);

    TerminalHostUi host;
    engine::ZipEngine zip;
    zip.SetHostUi(&host);
    RepairReport report;
    bool failed = false;
    zip.OnMessage = [&](int errCode, const std::string& text) {
        if (text.starts_with(kLostMark))
            report.lost.push_back(text.substr(kLostMark.size()));
        else if (text.starts_with(kUncheckedMark))
            report.unchecked.push_back(text.substr(kUncheckedMark.size()));
        else if (text.starts_with("Recovered "))
            report.summary = text;
        else if (errCode != 0)
            failed = true, std::fprintf(stderr, "kelpzip: %s\n", text.c_str());
        else if (!host.TakeShown(text))
            report.notes.push_back(text);
    };
    const int errorsBefore = zip.ErrorsReported();
    {
        InterruptCancels cancels(zip);
        zip.Run(engine::RepairRequest{broken, fixed, {}});
    }
    if (failed || zip.ErrorsReported() > errorsBefore || report.summary.empty()) return kExitUsage;
    if (json) {
        PrintJson(report, fixed);
    } else {
        Output out;
        for (const auto* lines : {&report.lost, &report.unchecked}) {
            for (const std::string& line : *lines) {
                out << (lines == &report.lost ? "Lost: " : "Kept unchecked: ");
                AppendEscaped(out, line);
                out << "\n";
            }
        }
        for (const std::string& note : report.notes) out << note << "\n";
        out << report.summary << "\n";
    }
    return report.lost.empty() && !report.summary.starts_with("Recovered 0 ") ? kExitOk
                                                                              : kExitError;
}

}  // namespace kelp::cli
