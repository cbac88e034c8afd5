#include "engine/zip_messages.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kelp::engine {

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
    {MsgId::CompressAbort, "Fatal Error in KZIP.DLL: abort exception"},
    {MsgId::NoZipFile, "Error - no zip file specified!"},
    {MsgId::OutOfMemory, "Requested memory not available"},
    {MsgId::PasswordsDiffer, "Error - passwords do NOT match\nPassword ignored"},
    {MsgId::Copying, "Copying: "},
    {MsgId::SfxHeaderCopyError, "Error while copying the SFX header"},
    {MsgId::SpannedRenameUnsupported, "Rename is not implemented for a spanned zip file"},
    {MsgId::Processing, "Processing: "},
    {MsgId::RenamedTo, " renamed to: "},
    {MsgId::NoAddPassword, "Error - no add password given"},
    {MsgId::NoExtractPassword, "Error - no extract password given"},
    {MsgId::OkButton, "&Ok"},
    {MsgId::CancelButton, "&Cancel"},
    {MsgId::PasswordTitle, "Password"},
    {MsgId::EnterPassword, "Enter Password "},
    {MsgId::ConfirmPassword, "Confirm Password "},
    {MsgId::SourceIsDestination, "Source archive is the same as the destination archive!"},
    {MsgId::OverwriteMemberQuery, "Overwrite file '%s' in '%s' ?"},
    {MsgId::MemberCopyFailed, "Copying a file from '%s' to '%s' failed"},
    {MsgId::MemberNotInArchive, "File '%s' is not present in '%s'!"},
    {MsgId::SfxDataCopyError, "Error while copying the SFX data"},
    {MsgId::DestinationOpenFailed, "Destination zip archive could not be opened!"},
    {MsgId::DirectorySeekError, "Seek error reading Zip archive!"},
    {MsgId::ListUnknownError, "Unknown error in List() function\n"},
    {MsgId::StructureWarning, "Warning - Error in zip structure!"},
    {MsgId::TrailingGarbage, "Warning - Garbage at the end of the zipfile!"},
    {MsgId::NoFilesToAdd, "Error - no files to zip!"},
    {MsgId::UnattendedNeedsPassword, "Unattended action not possible without a password"},
    {MsgId::SpannedFreshenUpdate, "AddFreshen or AddUpdate not possible on a spanned archive"},
    {MsgId::AutoSfxFailed, "Error %.1d occurred during Auto SFX creation."},
    {MsgId::AesUnsupported,
     "Error - your KZIP.DLL can not encrypt with AES-256, please update to version >= 1.70"},
    {MsgId::AddMethodUnsupported,
     "Error - your KZIP.DLL can only deflate or store, please update to version >= 1.70"},
    {MsgId::NoFilesToDelete, "Error - no files selected for deletion"},
    {MsgId::DeleteExactNamesUnsupported,
     "Error - your KZIP.DLL can not take members by their exact names, please update to "
     "version >= 1.80"},
    {MsgId::RenameUnsupported,
     "Error - your KZIP.DLL can not rename members, please update to version >= 1.80"},
    {MsgId::NoFilesToRename, "Error - no files selected for renaming"},
    {MsgId::ExtractAbort, "Fatal Error in KUNZIP.DLL: abort exception"},
    {MsgId::UnattendedExtractWarning,
     "Warning - Unattended Extract: possible not all files extracted"},
    {MsgId::ExtractStreamsUnsupported,
     "Error - your KUNZIP.DLL can not use streams, please update to version >= 1.60"},
    {MsgId::ExtractFolderUnsupported,
     "Error - your KUNZIP.DLL can only extract into the current folder, please update to version "
     ">= 1.60"},
    {MsgId::ExtractExactNamesUnsupported,
     "Error - your KUNZIP.DLL can not take members by their exact names, please update to "
     "version >= 1.80"},
    {MsgId::CheckUnsupported,
     "Error - your KUNZIP.DLL can not check an archive's structure, please update to version >= "
     "1.80"},
    {MsgId::RepairUnsupported,
     "Error - your KUNZIP.DLL can not repair an archive, please update to version >= 1.80"},
    {MsgId::RepairOntoItself,
     "Error - the repaired copy must be written to another file than the archive: "},
    {MsgId::ExtractFolderCannotBeMade, "Error - the folder to extract into cannot be made: "},
    {MsgId::ZipLibLoaded, "KZIP Loaded"},
    {MsgId::ZipExecMissing, "KZipExec function not found in KZIP.DLL!"},
    {MsgId::ZipVersionMissing, "GetKZipVersion function not found in KZIP.DLL!"},
    {MsgId::ZipLibNotFound, "KZIP.DLL not found!"},
    {MsgId::UnzipLibLoaded, "KUNZIP Loaded!"},
    {MsgId::UnzipExecMissing, "KUnzipExec function not found in KUNZIP.DLL!"},
    {MsgId::UnzipVersionMissing, "GetKUnzipVersion function not found in KUNZIP.DLL!"},
    {MsgId::UnzipLibNotFound, "KUNZIP.DLL not found!"},
    {MsgId::SfxStringTooLong,
     "Error - On or more of the 4 property strings mentioned below exceeds 255 characters!"},
    {MsgId::SfxStubNotFound, "Error - KELPSFX.BIN not found!"},
    {MsgId::InputNotZip, "Error: input file is not a zip file"},
    {MsgId::NoExeFile, "Error - no .EXE file specified"},
    {MsgId::InputNotExe, "Error: input file is not an .EXE file"},
    {MsgId::SfxTypeUnknown, "Error determining the type of SFX archive"},
    {MsgId::InputMissing, "Input file does not exist"},
    {MsgId::ZipOpenFailed, "Zip file could not be opened"},
    {MsgId::InvalidDrive, "Not a valid drive: %s"},
    {MsgId::DriveNotDefined, "Drive %s is NOT defined"},
    {MsgId::LabelNotSet, "Volume label could not be set"},
    {MsgId::NoMemoryForMsgBox, "Not enough memory to display MsgBox"},
    {MsgId::UserCanceled, "User canceled operation"},
    {MsgId::InputSeekError, "Seek error in input file"},
    {MsgId::OutputCreateFailed, "Creation of output file failed"},
    {MsgId::OutputWriteError, "Write error in output file"},
    {MsgId::EndRecordReadError, "Error while reading the End Of Central Directory"},
    {MsgId::LocalHeaderReadError, "Error while reading a local header"},
    {MsgId::CentralHeaderReadError, "Error while reading a central header"},
    {MsgId::LocalSignatureWrong, "A local header signature is wrong"},
    {MsgId::CentralSignatureWrong, "A central header signature is wrong"},
    {MsgId::LocalNameReadError, "Error while reading a local file name"},
    {MsgId::CentralNameReadError, "Error while reading a central file name"},
    {MsgId::LocalExtraReadError, "Error while reading a local extra field"},
    {MsgId::CentralExtraReadError, "Error while reading a central extra field"},
    {MsgId::DataDescriptorError, "Error while reading/writing a data descriptor area"},
    {MsgId::PackedDataReadError, "Error while reading zipped data"},
    {MsgId::FileCommentReadError, "Error while reading a file comment"},
    {MsgId::ArchiveCommentReadError, "Error while reading the archive comment"},
    {MsgId::SpanUnknownError,
     "UnKnown error in function ReadSpan(), WriteSpan(), Rename() or CopyMembers()\n"},
    {MsgId::UnattendedSpanning, "Unattended disk spanning not implemented"},
    {MsgId::SpanRecordMissing, "A local header not found in internal structure"},
    {MsgId::TempFileCreateFailed, "Temporary file could not be created"},
    {MsgId::LocalHeaderWriteError, "Error while writing a local header"},
    {MsgId::CentralHeaderWriteError, "Error while writing a central header"},
    {MsgId::EndRecordWriteError, "Error while writing the End Of Central Directory"},
    {MsgId::ExtendedLocalReadError, "Error while reading a Extended Local signature"},
    {MsgId::DiskFull, "This disk has not enough free space available"},
    {MsgId::InsertLastDisk, "Please insert last disk"},
    {MsgId::InsertDiskOf, "Please insert disk volume %.1d of %.1d"},
    {MsgId::InDrive, "\nin drive: %s"},
    {MsgId::NotAZipArchive, "This archive is not a valid Zip archive"},
    {MsgId::FirstDiskOfSet,
     "This is the first disk in a backup set,\nplease insert the last disk of this set"},
    {MsgId::NthDiskOfSet,
     "This is the %dth disk in a backup set,\nplease insert the last disk of this set"},
    {MsgId::OverwriteFileQuery, "There is already a file %s\nDo you want to overwrite this file"},
    {MsgId::OverwritePreviousDisk,
     "ATTENTION: This is previous disk no %d!!!\nAre you sure you want to overwrite the contents"},
    {MsgId::SfxCannotSpan, "Error - Self extracting archives(.exe) can not be spanned"},
    {MsgId::CentralNameCopyError, "Error while copying a filename of a CEH structure"},
    {MsgId::EndRecordSkipError, "Seek error while skipping a EOC structure"},
    {MsgId::ArchiveCommentCopyError, "Error while copying the zip archive comment"},
    {MsgId::FirstFileOfSet,
     "This is the first file in a backup set,\nplease choose the last file of this set"},
    {MsgId::InsertDisk, "Please insert disk volume %.1d"},
    {MsgId::CentralDirectory, "Central directory"},
    {MsgId::SetPartMissing, "A part of this set is missing: %s"},
    {MsgId::LocalHeaderMismatch, "A local header does not match its central header: %s"},
    {MsgId::VolumeSizeTooSmall,
     "Error - the volume size, less the room kept free on the first disk, is below the least "
     "room a part needs"},
};

}  // namespace

const char* const kMissingMessagePrefix =
    "KelpMsg.res is probably not linked to the executable\nMissing String ID is: ";

std::string MissingMessageText(int id) {
    return kMissingMessagePrefix + std::to_string(id);
}

// The lookups below search the table by halves.
static_assert(std::is_sorted(std::begin(kMessages), std::end(kMessages),
                             [](const MessageEntry& a, const MessageEntry& b) {
                                 return a.id < b.id;
                             }),
              "the message table must be sorted by id");

std::string LookupMessage(int id, const std::string& fallback) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                               [](const MessageEntry& e, int key) { return e.id < key; });
    if (it == std::end(kMessages) || it->id != id) return fallback;
    return it->text;
}

bool HasMessage(int id) {
    return std::binary_search(
        std::begin(kMessages), std::end(kMessages), MessageEntry{id, ""},
        [](const MessageEntry& a, const MessageEntry& b) { return a.id < b.id; });
}

size_t MessageCount() {
    return std::size(kMessages);
}

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
        if (format.compare(i, 2, "%s") == 0 || format.compare(i, 2, "%d") == 0)
            len = 2;
        else if (format.compare(i, 4, "%.1d") == 0)
            len = 4;
        if (len == 0 || next == args.end()) {
            out += format[i];
            continue;
        }
        out += std::visit(
            [](const auto& v) -> std::string {
                if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
                    return v;
                else
                    return std::to_string(v);
            },
            *next++);
        i += len - 1;
    }
    return out;
}

}  // namespace kelp::engine
