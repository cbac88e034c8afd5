// What each archive operation is asked to do, as plain values: which
// archive and members, where the result goes, and with which options. The
// engine builds one from its properties for each call, or runs one it is
// handed; Check names what is wrong with a request before anything is
// written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/message_ids.h"
#include "engine/option_set.h"

namespace kelp::engine {

enum AddOptsEnum {
    AddDirNames,
    AddRecurseDirs,
    AddMove,
    AddFreshen,
    AddUpdate,
    AddZipTime,
    AddForceDOS,
    AddHiddenFiles,
    AddArchiveOnly,
    AddResetArchive,
    AddEncrypt,
    AddSeparateDirs,
    AddDiskSpan,
    AddDiskSpanErase,
    AddStoreLinks  // symbolic links stored as links (library version 160 or higher), else followed
};
using AddOpts = OptionSet<AddOptsEnum>;

// How added members are encrypted when a password asks for it. AES-256
// needs a compression library of version 170 or higher.
enum AddEncryptionEnum { aeZipCrypto, aeAES256 };
// Compression method of added members. All but AddMethodDeflate need a
// compression library of version 170 or higher; a level of 0 still stores.
enum AddMethodEnum {
    AddMethodDeflate,
    AddMethodStore,
    AddMethodBzip2,
    AddMethodLzma,
    AddMethodXz,
    AddMethodZstd
};

// ExtrCheck tests and checks the archive's structure too (library 1.80):
// every finding is a message starting "Finding: ".
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest, ExtrCheck };
using ExtrOpts = OptionSet<ExtrOptsEnum>;

// Name suffixes of files the compression library stores without compressing.
enum AddStoreSuffixEnum {
    assGIF,
    assPNG,
    assZ,
    assZIP,
    assZOO,
    assARC,
    assLZH,
    assARJ,
    assTAZ,
    assTGZ,
    assLHA,
    assEXE
};
using AddStoreExts = OptionSet<AddStoreSuffixEnum>;

// A file or folder to add, named by its path as the file system has it:
// taken as it stands, never read for the syntax of add lines.
struct AddSource {
    std::string path;
    bool recurse = false;
    std::optional<std::string> password;  // unset: the add's password and AddEncrypt; "": none
};

// The parts of a multi-part set: the largest part (0: as large as the disk
// allows), the room kept free on the first disk, and the least room worth
// starting a part in.
struct VolumeSizes {
    int64_t maxVolumeSize = 0;
    int64_t keepFreeOnDisk1 = 0;
    int64_t minFreeVolumeSize = 65536;

    // VolumeSizeTooSmall when no part could ever be written: the first part
    // would have less room than a part needs, and every disk would be
    // refused as full.
    std::optional<MsgId::Id> Check() const;
};

struct ExtractRequest {
    std::string archive;
    // Patterns, or with exactNames the exact member names (one ending in "/"
    // also takes the members under that folder); none: every member.
    std::vector<std::string> members;
    bool exactNames = false;
    // The folder to extract into, made when missing; "": the current folder.
    std::string targetDir;
    ExtrOpts options;
    std::string password;  // at most 255 characters are used

    // Testing (or checking) reads the members and writes no file.
    bool Testing() const { return options.Has(ExtrTest) || options.Has(ExtrCheck); }
    // NoZipFile when the archive is not a file; ExtractFolderCannotBeMade
    // when a file stands where the target folder or one of its parents
    // would be.
    std::optional<MsgId::Id> Check() const;
};

enum SFXOptsEnum {
    SFXAskCmdLine,
    SFXAskFiles,
    SFXAutoRun,
    SFXHideOverWriteBox,
    SFXCheckSize,
    SFXNoSuccessMsg
};
using SFXOpts = OptionSet<SFXOptsEnum>;

enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };

// What a self-extracting program does when it runs.
struct SfxSettings {
    SFXOpts options{SFXCheckSize};
    OvrOpts overwrite = OvrConfirm;
    std::string caption = "Self-extracting Archive";
    std::string defaultDir;
    std::string commandLine;
    std::string message;
    std::string icon;  // the bytes of an icon file, empty for none
};

struct AddRequest {
    std::string archive;  // created when missing; ".exe": a new self-extractor
    // Add lines, read for their wildcards and "<" password syntax.
    std::vector<std::string> lines;
    std::vector<AddSource> sources;     // files and folders, taken as they stand
    std::vector<std::string> excludes;  // patterns of files not to add
    int level = 9;
    AddMethodEnum method = AddMethodDeflate;
    AddOpts options;
    AddEncryptionEnum encryption = aeZipCrypto;
    std::string password;  // at most 81 characters are used
    AddStoreExts storeSuffixes{assGIF, assPNG, assZ,   assZIP, assZOO, assARC,
                               assLZH, assARJ, assTAZ, assTGZ, assLHA};
    VolumeSizes volumes;  // with AddDiskSpan
    // A new self-extracting archive: what the program does, and its stub
    // (searched for as SFXPath is).
    SfxSettings sfx;
    std::string stubPath = "KelpSFX.bin";

    bool Spanning() const { return options.Has(AddDiskSpan) || options.Has(AddDiskSpanErase); }
    // The archive is a self-extracting program: its name ends in ".exe".
    bool IntoProgram() const;
    // NoFilesToAdd, NoZipFile (no name), SpannedFreshenUpdate and
    // SfxCannotSpan, then the volume sizes of a spanned add.
    std::optional<MsgId::Id> Check() const;
};

struct DeleteRequest {
    std::string archive;
    // Patterns, or with exactNames the exact member names.
    std::vector<std::string> members;
    bool exactNames = false;

    // NoFilesToDelete, then NoZipFile when the archive is not a file.
    std::optional<MsgId::Id> Check() const;
};

// Turning the archive `archive` (".zip") into a self-extracting program
// beside it (".exe").
struct SfxRequest {
    std::string archive;
    SfxSettings settings;
    std::string stubPath = "KelpSFX.bin";  // searched for as SFXPath is

    // NoZipFile when the archive is not a file, InputNotZip when its name
    // does not end in ".zip".
    std::optional<MsgId::Id> Check() const;
};

// Copying an archive into a set of part files named after `output`.
struct SpanRequest {
    std::string input;
    std::string output;
    VolumeSizes volumes;
    bool eraseDisks = false;  // unformatted removable disks are formatted

    // The volume sizes; a missing input is found as the set is written.
    std::optional<MsgId::Id> Check() const;
};

// Renaming members: each pair an exact old name and its new name; a folder's
// name ("docs/") renames what lies under it too.
struct RenameRequest {
    std::string archive;
    std::vector<std::pair<std::string, std::string>> renames;

    // NoFilesToRename, then NoZipFile when the archive is not a file.
    std::optional<MsgId::Id> Check() const;
};

// Salvaging the damaged archive `broken` into the new archive `fixed`.
struct RepairRequest {
    std::string broken;
    std::string fixed;
    std::string password;  // for the encrypted members' data

    // NoZipFile when `broken` is not a file; RepairOntoItself when `fixed`
    // is unnamed or names the same file.
    std::optional<MsgId::Id> Check() const;
};

// Joining the set whose last part is `lastPart` into one archive at `output`:
// a folder (ending in "/") where it gets a fresh name, or a file path.
struct JoinRequest {
    std::string lastPart;
    std::string output;

    // InputMissing without a last part, OutputCreateFailed without an
    // output. The part itself may be on a disk still to be inserted.
    std::optional<MsgId::Id> Check() const;
};

// Turning the self-extracting program `program` (".exe") back into an
// archive beside it (".zip").
struct SfxToZipRequest {
    std::string program;

    // NoExeFile when the program is not a file, InputNotExe when its name
    // does not end in ".exe".
    std::optional<MsgId::Id> Check() const;
};

// Rewriting the comment of `archive`; an empty text removes it.
struct CommentRequest {
    std::string archive;
    std::string text;

    // InputMissing without an archive, ZipOpenFailed when it is not a file.
    std::optional<MsgId::Id> Check() const;
};

}  // namespace kelp::engine
