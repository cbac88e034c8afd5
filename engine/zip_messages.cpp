#include "engine/zip_messages.h"

#include <algorithm>
#include <array>
#include <utility>

namespace engine {

namespace {

struct MessageEntry {
    int id;
    const char* text;
};

// The engine's message table, sorted by id. Ids group by hundreds: 101xx
// general and passwords, 102xx directory reading, 103xx adding, 104xx
// deleting, 105xx extracting, 106xx/107xx loading the libraries, 108xx/109xx
// self-extractor conversion, 110xx multi-disk sets and archive copying.
constexpr MessageEntry kMessages[] = {
    {10101, "Fatal Error in KZIP.DLL: abort exception"},
    {10102, "Error - no zip file specified!"},
    {10103, "Requested memory not available"},
    {10104, "Error - passwords do NOT match\nPassword ignored"},
    {10105, "Copying: "},
    {10140, "Error while copying the SFX header"},
    {10141, "Rename is not implemented for a spanned zip file"},
    {10142, "Processing: "},
    {10143, " renamed to: "},
    {10150, "Error - no add password given"},
    {10151, "Error - no extract password given"},
    {10152, "&Ok"},
    {10153, "&Cancel"},
    {10154, "Password"},
    {10155, "Enter Password "},
    {10156, "Confirm Password "},
    {10180, "Source archive is the same as the destination archive!"},
    {10181, "Overwrite file '%s' in '%s' ?"},
    {10182, "Copying a file from '%s' to '%s' failed"},
    {10183, "File '%s' is not present in '%s'!"},
    {10184, "Error while copying the SFX data"},
    {10185, "Destination zip archive could not be opened!"},
    {10201, "Seek error reading Zip archive!"},
    {10202, "Unknown error in List() function\n"},
    {10203, "Warning - Error in zip structure!"},
    {10204, "Warning - Garbage at the end of the zipfile!"},
    {10301, "Error - no files to zip!"},
    {10302, "Unattended action not possible without a password"},
    {10303, "AddFreshen or AddUpdate not possible on a spanned archive"},
    {10304, "Error %.1d occurred during Auto SFX creation."},
    {10401, "Error - no files selected for deletion"},
    {10501, "Fatal Error in KUNZIP.DLL: abort exception"},
    {10502, "Warning - Unattended Extract: possible not all files extracted"},
    {10503, "Error - your KUNZIP.DLL can not use streams, please update to version >= 1.60"},
    {10601, "KZIP Loaded"},
    {10602, "KZipExec function not found in KZIP.DLL!"},
    {10603, "GetKZipVersion function not found in KZIP.DLL!"},
    {10604, "KZIP.DLL not found!"},
    {10701, "KUNZIP Loaded!"},
    {10702, "KUnzipExec function not found in KUNZIP.DLL!"},
    {10703, "GetKUnzipVersion function not found in KUNZIP.DLL!"},
    {10704, "KUNZIP.DLL not found!"},
    {10801, "Error - On or more of the 4 property strings mentioned below exceeds 255 characters!"},
    {10802, "Error - KELPSFX.BIN not found!"},
    {10803, "Error: input file is not a zip file"},
    {10901, "Error - no .EXE file specified"},
    {10902, "Error: input file is not an .EXE file"},
    {10903, "Error determining the type of SFX archive"},
    {11001, "Input file does not exist"},
    {11002, "Zip file could not be opened"},
    {11003, "Not a valid drive: %s"},
    {11004, "Drive %s is NOT defined"},
    {11005, "Volume label could not be set"},
    {11006, "Not enough memory to display MsgBox"},
    {11007, "User canceled operation"},
    {11008, "Seek error in input file"},
    {11009, "Creation of output file failed"},
    {11010, "Write error in output file"},
    {11011, "Error while reading the End Of Central Directory"},
    {11012, "Error while reading a local header"},
    {11013, "Error while reading a central header"},
    {11014, "A local header signature is wrong"},
    {11015, "A central header signature is wrong"},
    {11016, "Error while reading a local file name"},
    {11017, "Error while reading a central file name"},
    {11018, "Error while reading a local extra field"},
    {11019, "Error while reading a central extra field"},
    {11020, "Error while reading/writing a data descriptor area"},
    {11021, "Error while reading zipped data"},
    {11022, "Error while reading a file comment"},
    {11023, "Error while reading the archive comment"},
    {11024, "UnKnown error in function ReadSpan(), WriteSpan(), Rename() or CopyMembers()\n"},
    {11025, "Unattended disk spanning not implemented"},
    {11026, "A local header not found in internal structure"},
    {11027, "Temporary file could not be created"},
    {11028, "Error while writing a local header"},
    {11029, "Error while writing a central header"},
    {11030, "Error while writing the End Of Central Directory"},
    {11031, "Error while reading a Extended Local signature"},
    {11032, "This disk has not enough free space available"},
    {11033, "Please insert last disk"},
    {11034, "Please insert disk volume %.1d of %.1d"},
    {11035, "\nin drive: %s"},
    {11036, "This archive is not a valid Zip archive"},
    {11037, "This is the first disk in a backup set,\nplease insert the last disk of this set"},
    {11038, "This is the %dth disk in a backup set,\nplease insert the last disk of this set"},
    {11039, "There is already a file %s\nDo you want to overwrite this file"},
    {11040, "ATTENTION: This is previous disk no %d!!!\nAre you sure you want to overwrite the contents"},
    {11041, "Error - Self extracting archives(.exe) can not be spanned"},
    {11042, "Error while copying a filename of a CEH structure"},
    {11043, "Seek error while skipping a EOC structure"},
    {11044, "Error while copying the zip archive comment"},
    {11045, "This is the first file in a backup set,\nplease choose the last file of this set"},
    {11046, "Please insert disk volume %.1d"},
    {11047, "Central directory"},
    {11048, "A part of this set is missing: %s"},
    {11049, "A local header does not match its central header: %s"},
};

}  // namespace

const char* const kMissingMessagePrefix =
    "KelpMsg.res is probably not linked to the executable\nMissing String ID is: ";

std::string MissingMessageText(int id) { return kMissingMessagePrefix + std::to_string(id); }

std::string LookupMessage(int id, const std::string& fallback) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                               [](const MessageEntry& e, int key) { return e.id < key; });
    if (it == std::end(kMessages) || it->id != id) return fallback;
    return it->text;
}

bool HasMessage(int id) {
    return std::binary_search(std::begin(kMessages), std::end(kMessages), MessageEntry{id, ""},
                              [](const MessageEntry& a, const MessageEntry& b) { return a.id < b.id; });
}

size_t MessageCount() { return std::size(kMessages); }

std::string FormatMessageText(const std::string& format, std::initializer_list<MessageArg> args) {
    std::string out;
    out.reserve(format.size() + 16);
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // A conversion: "%s", "%d" or "%.1d" ("%.1d" prints like "%d").
        size_t len = 0;
        if (format.compare(i, 2, "%s") == 0 || format.compare(i, 2, "%d") == 0) len = 2;
        else if (format.compare(i, 4, "%.1d") == 0) len = 4;
        if (len == 0 || next == args.end()) {
            out += format[i];
            continue;
        }
        out += std::visit(
            [](const auto& v) -> std::string {
                if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>) return v;
                else return std::to_string(v);
            },
            *next++);
        i += len - 1;
    }
    return out;
}

}  // namespace engine
