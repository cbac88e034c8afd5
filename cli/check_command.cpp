// kelpzip check ARCHIVE [--json] [-p PASSWORD] [-O CHARSET]: tests the archive and
// examines its structure, one sentence per finding. Exit 0 with no finding,
// 1 with findings, 2 for a usage error.
#include <cstdio>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/line_output.h"
#include "cli/open_archive.h"

namespace kelp::cli {

namespace {

constexpr std::string_view kFindingMark = "Finding: ";

// Prints the findings (as JSON with `json`) and gives the exit status.
int PrintFindings(const std::vector<std::string>& findings, bool failed, bool json,
                  const std::string& archive) {
    Output out;
    if (json) {
        out << "[";
        for (size_t i = 0; i < findings.size(); ++i) {
            out << (i ? ",\n " : "\n ") << "{\"finding\": ";
            AppendJsonString(out, findings[i]);
            out << "}";
        }
        out << (findings.empty() ? "]\n" : "\n]\n");
    } else {
        for (const std::string& f : findings) {
            AppendEscaped(out, f);
            out << "\n";
        }
        if (!findings.empty())
            out << uint64_t(findings.size()) << " finding(s) in " << archive << "\n";
        else if (failed)
            out << "The check of " << archive << " did not complete\n";
        else
            out << "No finding: " << archive << " is sound\n";
    }
    return findings.empty() && !failed ? kExitOk : kExitError;
}

}  // namespace

int CheckCommand(const Args& args) {
    std::string archive, password, nameCharset;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "-p") {
            if (i + 1 >= args.size()) return UsageError("-p needs a password");
            password = args[++i];
        } else if (args[i] == "-O") {
            if (auto status =
                    ReadNameCharset(i + 1 < args.size() ? &args[++i] : nullptr, nameCharset))
                return *status;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return UsageError("unknown option '" + args[i] + "'");
        } else if (archive.empty()) {
            archive = args[i];
        } else {
            return UsageError("check takes one archive");
        }
    }
    if (archive.empty()) return UsageError("check needs an archive");

    // An archive whose directory cannot be read at all is one finding: the
    // engine's last word on it.
    std::vector<std::string> findings;
    std::string reason;
    auto opened =
        OpenArchive(archive, nameCharset, [&](int, const std::string& text) { reason = text; });
    if (!opened)
        findings.push_back("the archive cannot be read" + (reason.empty() ? "" : ": " + reason));
    if (!opened) return PrintFindings(findings, false, json, archive);
    engine::ZipEngine& zip = opened->engine;
    // Every finding is a line of its own; the summary lines ("Error found
    // in ...") only count them, and anything else with an error value (a
    // cancel) means the check did not complete.
    int otherErrors = 0;
    zip.OnMessage = [&](int errCode, const std::string& text) {
        if (text.starts_with(kFindingMark))
            findings.push_back(text.substr(kFindingMark.size()));
        else if (errCode != 0 && !text.starts_with("Error found in "))
            ++otherErrors;
    };
    engine::ExtractRequest request;
    request.archive = archive;
    request.options = {engine::ExtrCheck, engine::ExtrDirNames};
    request.password = password;
    const int errorsBefore = zip.ErrorsReported();
    {
        InterruptCancels cancels(zip);
        zip.Run(request);
    }
    const bool failed = zip.ErrorsReported() > errorsBefore || otherErrors > 0;

    return PrintFindings(findings, failed, json, archive);
}

}  // namespace kelp::cli
