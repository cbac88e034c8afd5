// Names of the engine's message ids; the table in zip_messages.cpp gives each
// its text. Callers name a message, never its number.
// The enumeration is unscoped inside its own namespace so that a name converts
// to the plain int the table, the exception and the host interface carry.
#pragma once

namespace kelp::engine {
namespace MsgId {

enum Id : int {
    // General and passwords.
    CompressAbort = 10101,
    NoZipFile = 10102,
    OutOfMemory = 10103,
    PasswordsDiffer = 10104,
    Copying = 10105,
    SfxHeaderCopyError = 10140,
    SpannedRenameUnsupported = 10141,
    Processing = 10142,
    RenamedTo = 10143,
    NoAddPassword = 10150,
    NoExtractPassword = 10151,
    OkButton = 10152,
    CancelButton = 10153,
    PasswordTitle = 10154,
    EnterPassword = 10155,
    ConfirmPassword = 10156,
    SourceIsDestination = 10180,
    OverwriteMemberQuery = 10181,
    MemberCopyFailed = 10182,
    MemberNotInArchive = 10183,
    SfxDataCopyError = 10184,
    DestinationOpenFailed = 10185,

    // Reading the directory.
    DirectorySeekError = 10201,
    ListUnknownError = 10202,
    StructureWarning = 10203,
    TrailingGarbage = 10204,

    // Adding and deleting.
    NoFilesToAdd = 10301,
    UnattendedNeedsPassword = 10302,
    SpannedFreshenUpdate = 10303,
    AutoSfxFailed = 10304,
    AesUnsupported = 10305,
    AddMethodUnsupported = 10306,
    NoFilesToDelete = 10401,
    DeleteExactNamesUnsupported = 10402,
    RenameUnsupported = 10403,
    NoFilesToRename = 10404,

    // Extracting.
    ExtractAbort = 10501,
    UnattendedExtractWarning = 10502,
    ExtractStreamsUnsupported = 10503,
    ExtractFolderUnsupported = 10504,
    ExtractExactNamesUnsupported = 10505,
    CheckUnsupported = 10506,
    RepairUnsupported = 10507,
    RepairOntoItself = 10508,
    ExtractFolderCannotBeMade = 10509,

    // Loading the libraries.
    ZipLibLoaded = 10601,
    ZipExecMissing = 10602,
    ZipVersionMissing = 10603,
    ZipLibNotFound = 10604,
    UnzipLibLoaded = 10701,
    UnzipExecMissing = 10702,
    UnzipVersionMissing = 10703,
    UnzipLibNotFound = 10704,

    // Self-extractor conversion.
    SfxStringTooLong = 10801,
    SfxStubNotFound = 10802,
    InputNotZip = 10803,
    NoExeFile = 10901,
    InputNotExe = 10902,
    SfxTypeUnknown = 10903,

    // Multi-disk sets and copying archives.
    InputMissing = 11001,
    ZipOpenFailed = 11002,
    InvalidDrive = 11003,
    DriveNotDefined = 11004,
    LabelNotSet = 11005,
    NoMemoryForMsgBox = 11006,
    UserCanceled = 11007,
    InputSeekError = 11008,
    OutputCreateFailed = 11009,
    OutputWriteError = 11010,
    EndRecordReadError = 11011,
    LocalHeaderReadError = 11012,
    CentralHeaderReadError = 11013,
    LocalSignatureWrong = 11014,
    CentralSignatureWrong = 11015,
    LocalNameReadError = 11016,
    CentralNameReadError = 11017,
    LocalExtraReadError = 11018,
    CentralExtraReadError = 11019,
    DataDescriptorError = 11020,
    PackedDataReadError = 11021,
    FileCommentReadError = 11022,
    ArchiveCommentReadError = 11023,
    SpanUnknownError = 11024,
    UnattendedSpanning = 11025,
    SpanRecordMissing = 11026,
    TempFileCreateFailed = 11027,
    LocalHeaderWriteError = 11028,
    CentralHeaderWriteError = 11029,
    EndRecordWriteError = 11030,
    ExtendedLocalReadError = 11031,
    DiskFull = 11032,
    InsertLastDisk = 11033,
    InsertDiskOf = 11034,
    InDrive = 11035,
    NotAZipArchive = 11036,
    FirstDiskOfSet = 11037,
    NthDiskOfSet = 11038,
    OverwriteFileQuery = 11039,
    OverwritePreviousDisk = 11040,
    SfxCannotSpan = 11041,
    CentralNameCopyError = 11042,
    EndRecordSkipError = 11043,
    ArchiveCommentCopyError = 11044,
    FirstFileOfSet = 11045,
    InsertDisk = 11046,
    CentralDirectory = 11047,
    SetPartMissing = 11048,
    LocalHeaderMismatch = 11049,
    VolumeSizeTooSmall = 11050,
};

}  // namespace MsgId
}  // namespace kelp::engine
