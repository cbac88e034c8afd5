// kelpzip list [--tsv] [-O CHARSET] ARCHIVE
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"
#include "cli/line_output.h"
#include "cli/open_archive.h"

namespace kelp::cli {

namespace {

void PutDigits(char* at, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// "yyyy-mm-dd hh:mm:ss" of a DOS date-time (date in the high word), built
// on the stack: the listing writes one per member.
struct DosDateTimeText {
    explicit DosDateTimeText(uint32_t dosDateTime) {
        const unsigned date = dosDateTime >> 16;
        const unsigned time = dosDateTime & 0xFFFF;
        PutDigits(&text[0], (date >> 9) + 1980, 4);
        PutDigits(&text[5], (date >> 5) & 15, 2);
        PutDigits(&text[8], date & 31, 2);
        PutDigits(&text[11], time >> 11, 2);
        PutDigits(&text[14], (time >> 5) & 63, 2);
        PutDigits(&text[17], (time & 31) * 2, 2);
    }
    char text[20] = "0000-00-00 00:00:00";
};

Output& operator<<(Output& out, const DosDateTimeText& t) {
    return out.Append(t.text, 19);
}

std::string CrcText(uint32_t crc) {
    static const char kHex[] = "0123456789abcdef";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, crc >>= 4) text[static_cast<size_t>(i)] = kHex[crc & 15];
    return text;
}

std::string MethodName(uint16_t method) {
    switch (method) {
        case 0:
            return "Stored";
        case 8:
            return "Defl";
        case 9:
            return "Defl64";
        case 12:
            return "BZip2";
        case 14:
            return "LZMA";
        case 93:
            return "Zstd";
        case 95:
            return "xz";
        case 98:
            return "PPMd";
        case 99:
            return "AES";  // the inner method is named in the AES field
        default:
            return "M" + std::to_string(method);
    }
}

std::string Padded(const std::string& text, size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string fill(width - text.size(), ' ');
    return right ? fill + text : text + fill;
}

std::string RatioText(uint64_t packed, uint64_t size) {
    if (size == 0) return "0%";
    const long long saved = static_cast<long long>(100 - (packed * 100) / size);
    return std::to_string(saved) + "%";
}

void PrintTsv(const engine::ZipEngine& engine) {
    Output out;
    for (const auto& e : engine.DirEntries()) {
        AppendEscaped(out, e.MemberName());
        out << '\t' << uint64_t{e.PackedSize()} << '\t' << uint64_t{e.UnpackedSize()} << '\t'
            << uint64_t{e.Method()} << '\t' << CrcText(e.Crc()) << '\t'
            << DosDateTimeText(e.DosDateTime()) << '\t' << (e.IsEncrypted() ? '1' : '0') << '\n';
    }
}

void PrintTable(const engine::ZipEngine& engine) {
    Output out;
    out << "Archive: " << engine.ZipFileName() << '\n';
    const std::string comment = engine.ArchiveComment();
    if (!comment.empty()) out << comment << '\n';
    out << "    Length     Packed  Method  Ratio  Date       Time      CRC-32    Name\n"
        << "----------  ---------  ------  -----  ---------- --------  --------  ----\n";
    uint64_t totalSize = 0;
    uint64_t totalPacked = 0;
    for (const auto& e : engine.DirEntries()) {
        totalSize += e.UnpackedSize();
        totalPacked += e.PackedSize();
        out << Padded(std::to_string(e.UnpackedSize()), 10, true) << "  "
            << Padded(std::to_string(e.PackedSize()), 9, true) << "  "
            << Padded(MethodName(e.Method()), 6, false) << "  "
            << Padded(RatioText(e.PackedSize(), e.UnpackedSize()), 5, true) << "  "
            << DosDateTimeText(e.DosDateTime()) << "  " << CrcText(e.Crc())
            << (e.IsEncrypted() ? "* " : "  ");
        AppendEscaped(out, e.MemberName());
        out << '\n';
    }
    out << "----------  ---------          -----                                     ----\n"
        << Padded(std::to_string(totalSize), 10, true) << "  "
        << Padded(std::to_string(totalPacked), 9, true) << "          "
        << Padded(RatioText(totalPacked, totalSize), 5, true)
        << "                                     " << uint64_t{engine.EntryCount()}
        << (engine.EntryCount() == 1 ? " file\n" : " files\n");
}

}  // namespace

int ListCommand(const Args& args) {
    bool tsv = false;
    std::string archive;
    std::string nameCharset;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--tsv")
            tsv = true;
        else if (arg == "-O") {
            if (auto status =
                    ReadNameCharset(i + 1 < args.size() ? &args[++i] : nullptr, nameCharset))
                return *status;
        } else if (!arg.empty() && arg[0] == '-')
            return UsageError("unknown option '" + arg + "'");
        else if (archive.empty())
            archive = arg;
        else
            return UsageError("list takes one archive");
    }
    if (archive.empty()) return UsageError("list needs an archive");
    auto opened = OpenArchive(archive, nameCharset);
    if (!opened) return kExitError;
    if (tsv)
        PrintTsv(opened->engine);
    else
        PrintTable(opened->engine);
    return opened->engine.ErrorsReported() > 0 ? kExitError : kExitOk;
}

}  // namespace kelp::cli
