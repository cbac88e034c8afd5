/*
 * kelp_lib_abi.h - the C interface between the archive engine and the
 * compression (libkzip.so) and decompression (libkunzip.so) libraries.
 *
 * The engine loads a library with dlopen, asks its version, fills one
 * parameter block in the layout that version understands and calls the
 * exec entry once. During the call the library reports through the
 * callback in the block, on the caller's thread.
 *
 * Layout rules: fields keep the order and the 32-bit offsets of the
 * original design; pointer-sized fields are real pointers, so on a 64-bit
 * build they widen (and the offsets after them move) while the order stays.
 * On a 32-bit build every offset and size is checked below.
 *
 * Booleans are 32-bit (KELP_TRUE = all bits set, 0 = false) except the
 * fields typed KBool16 (0xFFFF or 1 for true, 0 for false).
 */
#ifndef KELP_LIB_ABI_H
#define KELP_LIB_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t KBool32;
typedef int16_t KBool16;

#define KELP_TRUE ((int32_t)-1)
#define KELP_FALSE 0

/* Every block ends with this value in its EndMarker field. */
#define KELP_END_MARKER 7

/* Version the engine writes into CallerVersion, and that the libraries of
 * this project report. */
#define KELP_CALLER_VERSION 170

/* Library versions from which the current block layouts are used. */
#define KZIP_CURRENT_LAYOUT_VERSION 151
#define KUNZIP_CURRENT_LAYOUT_VERSION 152
/* Library versions from which the fields marked "160", "170", "180" and
 * "190" are honoured. */
#define KELP_V160 160
#define KELP_V170 170
#define KELP_V180 180
#define KELP_V190 190

/* Number of specification pointers in the old layouts. */
#define KELP_OLD_SPEC_SLOTS 4097

/* ------------------------------------------------------------------------
 * Callback record: written by the library, passed by pointer to the
 * callback. The callback returns 0 to go on, or all bits set (-1) to ask
 * the library to stop.
 * ---------------------------------------------------------------------- */

#define KELP_CALLBACK_TEXT_SIZE 512

typedef struct KCallbackRecord {
    uint32_t Unused0;                   /*   0 */
    void* EngineRef;                    /*   4  the EngineRef of the parameter block */
    uint32_t Unused8[2];                /*   8 */
    int32_t Action;                     /*  16  one of KCallbackAction */
    int32_t Number1;                    /*  20 */
    int32_t Number2;                    /*  24 */
    char Text[KELP_CALLBACK_TEXT_SIZE]; /* 28  NUL-terminated */
} KCallbackRecord;                      /* 540 */

typedef int32_t (*KCallbackFn)(KCallbackRecord* record);

/* The callback's answer asking the library to stop. */
#define KELP_CALLBACK_CANCEL ((int32_t)-1)

typedef enum KCallbackAction {
    /* Text = member name, Number2 = its uncompressed size. */
    KCB_FILE_START = 1,
    /* Number2 = bytes processed since the last report. */
    KCB_BYTES_DONE = 2,
    KCB_BATCH_END = 3,
    /* Text = the message, Number1 = its error value (0: information). */
    KCB_MESSAGE = 4,
    /* Number2 = number of members in the batch. */
    KCB_FILE_COUNT = 5,
    /* Number2 = total bytes of the batch. */
    KCB_BYTE_TOTAL = 6,
    /* Text = name in; when the engine renames, Text = the new name out
     * and Action is set to 8. */
    KCB_NEW_NAME = 7,
    /* Text = member name in, password out; Number1 bit 0 in = adding
     * (confirm), out = 1 when a password is given; Number2 in and out =
     * remaining tries (at most 15). */
    KCB_PASSWORD = 8,
    /* Number1 = found CRC, Number2 = expected CRC; Number1 out: 1 keep the
     * data, 0 discard it, 2 no answer (discard). */
    KCB_CRC_ERROR = 9,
    /* Number1 bit 0 = the existing file is older than the member;
     * Number2 in = default answer, out = 1 overwrite, 0 keep. */
    KCB_OVERWRITE = 10,
    /* Text = member name, Number1 = error value, Number2 low byte = one of
     * KUnzipSkipType. */
    KCB_SKIPPED = 11
} KCallbackAction;

/* Reasons the decompression library gives with KCB_SKIPPED. */
typedef enum KUnzipSkipType {
    KSKIP_OVERWRITE = 1,   /* an existing file was kept */
    KSKIP_FRESHEN = 2,     /* freshen or update found nothing newer */
    KSKIP_UNSAFE_PATH = 3, /* the name would leave the target folder */
    KSKIP_SYMLINK = 4,     /* a symbolic link that would lead out of the target folder */
    KSKIP_METHOD = 5,      /* unsupported compression method */
    KSKIP_PASSWORD = 6,    /* no valid password */
    KSKIP_BAD_DATA = 7,    /* damaged, truncated or oversized data */
    KSKIP_CRC = 8,         /* CRC mismatch, data discarded */
    KSKIP_WRITE = 9        /* the output could not be written */
} KUnzipSkipType;

/* ------------------------------------------------------------------------
 * Compression parameter block (libkzip.so).
 * ---------------------------------------------------------------------- */

/* One file specification for the compression library. */
typedef struct KZipSpec {
    char* SpecText;         /*   0 */
    uint32_t Reserved4[2];  /*   4 */
    char* SpecPassword;     /*  12 */
    KBool32 SpecEncrypt;    /*  16 */
    KBool16 SpecRecurse;    /*  20 */
    uint8_t Reserved22[82]; /*  22 */
} KZipSpec;                 /* 104 */

/* Current layout, library version 151 or higher. */
/* Compression method of added members; a level of 0 still stores. */
typedef enum KZipMethod {
    KZIP_METHOD_DEFAULT = 0, /* deflate */
    KZIP_METHOD_STORE = 1,
    KZIP_METHOD_DEFLATE = 2,
    KZIP_METHOD_BZIP2 = 3,
    KZIP_METHOD_LZMA = 4,
    KZIP_METHOD_XZ = 5,
    KZIP_METHOD_ZSTD = 6
} KZipMethod;

/* Encryption of added members when a password is given. */
typedef enum KZipEncryption {
    KZIP_ENCRYPT_ZIPCRYPTO = 0,
    KZIP_ENCRYPT_AES256 = 1 /* AE-2 */
} KZipEncryption;

/* 190: a central directory the caller has read, lent for one call so the
 * library does not read and index it again. The library takes it only when
 * the archive it opens is the very file the directory was read from,
 * unchanged (the same device, inode, size and modification time), and its
 * directory lies where the loan says; else it reads the archive's own. The
 * memory stays the caller's and must live until the exec entry returns. */
typedef struct KDirectoryLoan {
    uint64_t FileDevice;
    uint64_t FileInode;
    uint64_t FileSize;
    int64_t FileTimeSec; /* modification time */
    int64_t FileTimeNsec;
    uint64_t CentralOffset;   /* file offset of the directory's first byte */
    uint64_t CentralSize;     /* its size; Bytes holds all of it */
    const uint8_t* Bytes;     /* the directory as read */
    uint64_t Count;           /* members */
    const uint32_t* HeaderAt; /* per member, where its header starts in Bytes */
    const uint32_t* NameAt;   /* per member 0 (listed as stored) or 1 + where
                                 its listed name starts in Names, behind its
                                 4-byte length; NULL: every name as stored */
    const char* Names;
    uint64_t NamesSize;
    const char* CharsetText; /* the code page names were decoded from; NULL
                                or "" = none */
} KDirectoryLoan;

typedef struct KZipParams {
    void* WindowHandle;       /*   0 */
    void* EngineRef;          /*   4 */
    int32_t CallerVersion;    /*   8 */
    KCallbackFn Callback;     /*  12 */
    KBool32 TraceOn;          /*  16 */
    char* PasswordText;       /*  20 */
    char* StoreSuffixes;      /*  24 */
    KBool32 EncryptOn;        /*  28 */
    KBool32 SystemFilesOn;    /*  32 */
    int32_t Reserved36;       /*  36 */
    int32_t Reserved40;       /*  40 */
    KBool32 SkipDirEntries;   /*  44 */
    int32_t Reserved48;       /*  48 */
    KBool32 VerboseOn;        /*  52 */
    KBool32 QuietOn;          /*  56 */
    int32_t CompressionLevel; /* 60 */
    int32_t Reserved64;       /*  64 */
    int32_t Reserved68;       /*  68 */
    KBool32 DropPaths;        /*  72 */
    KBool16 RecurseOn;        /*  76 */
    int16_t Reserved78;       /*  78 */
    int32_t Reserved80;       /*  80  all bits set when adding */
    KBool32 ForceDosOn;       /*  84 */
    KBool32 MoveOn;           /*  88 */
    KBool32 DeleteMode;       /*  92 */
    KBool32 UpdateOn;         /*  96 */
    KBool32 FreshenOn;        /* 100 */
    int32_t Reserved104;      /* 104 */
    KBool32 ArchiveTimeOn;    /* 108 */
    int32_t Reserved112[2];   /* 112 */
    int32_t SpecCount;        /* 120 */
    char* ArchiveNameText;    /* 124 */
    char* TempDirText;        /* 128 */
    char* CommentText;        /* 132 */
    KBool16 ArchiveOnlyOn;    /* 136 */
    KBool16 ResetArchiveOn;   /* 138 */
    KZipSpec* SpecTable;      /* 140 */
    int32_t Reserved144;      /* 144 */
    int32_t ExcludeCount;     /* 148 */
    char** ExcludeTable;      /* 152 */
    KBool32 StoreLinks;       /* 156  160: symbolic links stored as links */
    int32_t Method;           /* 160  170: one of KZipMethod */
    int32_t Encryption;       /* 164  170: one of KZipEncryption */
    KBool32 ExactNames;       /* 168  180: deleting, the SpecText are exact
                                      member names (see KUnzipParams) */
    int32_t RenameCount;      /* 172  180: renaming (no SpecTable): the
                                      number of pairs in RenameTable */
    char** RenameTable;       /* 176  180: old name, new name, old, new, ...;
                                      exact names, a folder's ending in "/"
                                      renames what lies under it too */
    char* NameCharsetText;    /* 180  180: the code page of the existing
                                      archive's names (see KUnzipParams) */
    /* 184  190: the directory of the existing archive; NULL = read the archive's */
    const KDirectoryLoan* DirectoryLoan;
    uint8_t Reserved188[24]; /* 188 */
    int32_t EndMarker;       /* 212 */
} KZipParams;                /* 216 */

/* Old layout, library version below 151. */
typedef struct KZipParamsOld {
    void* WindowHandle;                   /*   0 */
    void* EngineRef;                      /*   4 */
    int32_t CallerVersion;                /*   8 */
    KCallbackFn Callback;                 /*  12 */
    KBool32 TraceOn;                      /*  16 */
    char* PasswordText;                   /*  20 */
    char* StoreSuffixes;                  /*  24 */
    KBool32 EncryptOn;                    /*  28 */
    KBool32 SystemFilesOn;                /*  32 */
    int32_t Reserved36;                   /*  36 */
    int32_t Reserved40;                   /*  40 */
    KBool32 SkipDirEntries;               /*  44 */
    int32_t Reserved48;                   /*  48 */
    KBool32 VerboseOn;                    /*  52 */
    KBool32 QuietOn;                      /*  56 */
    int32_t CompressionLevel;             /* 60 */
    int32_t Reserved64;                   /*  64 */
    int32_t Reserved68;                   /*  68 */
    KBool32 DropPaths;                    /*  72 */
    KBool16 RecurseOn;                    /*  76 */
    int16_t Reserved78;                   /*  78 */
    int32_t Reserved80;                   /*  80 */
    KBool32 ForceDosOn;                   /*  84 */
    KBool32 MoveOn;                       /*  88 */
    KBool32 DeleteMode;                   /*  92 */
    KBool32 UpdateOn;                     /*  96 */
    KBool32 FreshenOn;                    /* 100 */
    int32_t Reserved104;                  /* 104 */
    KBool32 ArchiveTimeOn;                /* 108 */
    int32_t Reserved112[2];               /* 112 */
    int32_t SpecCount;                    /* 120 */
    char* ArchiveNameText;                /* 124 */
    int32_t EndMarker;                    /* 128 */
    char* SpecTexts[KELP_OLD_SPEC_SLOTS]; /* 132 */
} KZipParamsOld;                          /* 16520 */

/* ------------------------------------------------------------------------
 * Decompression parameter block (libkunzip.so).
 * ---------------------------------------------------------------------- */

/* One file specification for the decompression library. */
typedef struct KUnzipSpec {
    char* SpecText;        /*   0 */
    uint8_t Reserved4[68]; /*   4 */
} KUnzipSpec;              /*  72 */

/* Current layout, library version 152 or higher. */
typedef struct KUnzipParams {
    void* WindowHandle;                  /*   0 */
    void* EngineRef;                     /*   4 */
    int32_t CallerVersion;               /*   8 */
    KCallbackFn Callback;                /*  12 */
    KBool32 TraceOn;                     /*  16 */
    int32_t Reserved20;                  /*  20 */
    char* PasswordText;                  /*  24 */
    KBool32 TestOn;                      /*  28 */
    int32_t Reserved32;                  /*  32 */
    int32_t Reserved36;                  /*  36 */
    KBool32 QuietOn;                     /*  40 */
    KBool32 VerboseOn;                   /*  44 */
    KBool32 UpdateOn;                    /*  48 */
    KBool32 FreshenOn;                   /*  52 */
    KBool32 DirNamesOn;                  /*  56 */
    KBool32 OverwriteOn;                 /*  60 */
    int32_t SpecCount;                   /*  64 */
    char* ArchiveNameText;               /*  68 */
    KUnzipSpec* SpecTable;               /*  72 */
    int32_t Reserved76;                  /*  76 */
    KBool32 ToMemory;                    /*  80 */
    uint8_t* MemoryAddress;              /*  84 */
    uint32_t MemorySize;                 /*  88 */
    char* TargetDirText;                 /*  92  160: the folder to extract into;
                                                 NULL or "" = the current folder */
    int32_t Reserved96[2];               /*  96 */
    int32_t PasswordTries;               /* 104 */
    KBool32 ExactNames;                  /* 108  180: the SpecText are exact member
                                                 names, not patterns: compared byte for
                                                 byte, no wildcards, no case folding, no
                                                 separator conversion; one that ends in
                                                 "/" also takes every member under it */
    char* NameCharsetText;               /* 112  180: the code page (an iconv name, e.g.
                                                 "CP866") of member names that are
                                                 neither flagged nor valid UTF-8; NULL
                                                 or "" = detected for the archive */
    char* RepairTargetText;              /* 116  180: with TestOn, no member is tested:
                                                 the archive is salvaged into a new
                                                 archive of this name (never the archive
                                                 itself); "Lost: NAME: WHY" for each
                                                 member lost, then "Recovered N of M
                                                 members" */
    const KDirectoryLoan* DirectoryLoan; /* 120  190: see KDirectoryLoan;
                                                 NULL = read the archive's */
    int32_t Reserved124[3];              /* 124 */
    KBool32 CheckOn;                     /* 136  180: with TestOn, the archive's structure
                                                 is checked too; every finding is a
                                                 message that starts "Finding: " */
    int32_t Reserved140;                 /* 140 */
    int32_t EndMarker;                   /* 144 */
} KUnzipParams;                          /* 148 */

/* Old layout, library version below 152. */
typedef struct KUnzipParamsOld {
    void* WindowHandle;                   /*   0 */
    void* EngineRef;                      /*   4 */
    int32_t CallerVersion;                /*   8 */
    KCallbackFn Callback;                 /*  12 */
    KBool32 TraceOn;                      /*  16 */
    int32_t Reserved20;                   /*  20 */
    char* PasswordText;                   /*  24 */
    KBool32 TestOn;                       /*  28 */
    int32_t Reserved32;                   /*  32 */
    int32_t Reserved36;                   /*  36 */
    KBool32 QuietOn;                      /*  40 */
    KBool32 VerboseOn;                    /*  44 */
    KBool32 UpdateOn;                     /*  48 */
    KBool32 FreshenOn;                    /*  52 */
    KBool32 DirNamesOn;                   /*  56 */
    KBool32 OverwriteOn;                  /*  60 */
    int32_t SpecCount;                    /*  64 */
    char* ArchiveNameText;                /*  68 */
    int32_t EndMarker;                    /*  72 */
    char* SpecTexts[KELP_OLD_SPEC_SLOTS]; /* 76 */
} KUnzipParamsOld;                        /* 16464 */

/* ------------------------------------------------------------------------
 * Entry points. Both exec entries return the number of members processed
 * successfully; the version entries return e.g. 160 for 1.60.
 * ---------------------------------------------------------------------- */

#define KZIP_EXEC_NAME "KZipExec"
#define KZIP_VERSION_NAME "GetKZipVersion"
#define KUNZIP_EXEC_NAME "KUnzipExec"
#define KUNZIP_VERSION_NAME "GetKUnzipVersion"
#define KZIP_LIBRARY_FILE "libkzip.so"
#define KUNZIP_LIBRARY_FILE "libkunzip.so"

/* The compression exec takes a KZipParams or KZipParamsOld, the
 * decompression exec a KUnzipParams or KUnzipParamsOld. */
typedef int32_t (*KZipExecFn)(void* params);
typedef int32_t (*GetKZipVersionFn)(void);
typedef int32_t (*KUnzipExecFn)(void* params);
typedef int32_t (*GetKUnzipVersionFn)(void);

#if defined(KELP_LIB_EXPORTS)
#define KELP_LIB_API __attribute__((visibility("default")))
#else
#define KELP_LIB_API
#endif

KELP_LIB_API int32_t KZipExec(void* params);
KELP_LIB_API int32_t GetKZipVersion(void);
KELP_LIB_API int32_t KUnzipExec(void* params);
KELP_LIB_API int32_t GetKUnzipVersion(void);

/* ------------------------------------------------------------------------
 * 32-bit layout checks.
 * ---------------------------------------------------------------------- */

#ifdef __cplusplus
#define KELP_ABI_ASSERT(cond) static_assert(cond, #cond)
#else
#define KELP_ABI_ASSERT(cond) _Static_assert(cond, #cond)
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
KELP_ABI_ASSERT(sizeof(void*) == 4);
KELP_ABI_ASSERT(offsetof(KCallbackRecord, EngineRef) == 4);
KELP_ABI_ASSERT(offsetof(KCallbackRecord, Action) == 16);
KELP_ABI_ASSERT(offsetof(KCallbackRecord, Number1) == 20);
KELP_ABI_ASSERT(offsetof(KCallbackRecord, Number2) == 24);
KELP_ABI_ASSERT(offsetof(KCallbackRecord, Text) == 28);
KELP_ABI_ASSERT(sizeof(KCallbackRecord) == 540);

KELP_ABI_ASSERT(offsetof(KZipSpec, SpecPassword) == 12);
KELP_ABI_ASSERT(offsetof(KZipSpec, SpecEncrypt) == 16);
KELP_ABI_ASSERT(offsetof(KZipSpec, SpecRecurse) == 20);
KELP_ABI_ASSERT(sizeof(KZipSpec) == 104);

KELP_ABI_ASSERT(offsetof(KZipParams, Callback) == 12);
KELP_ABI_ASSERT(offsetof(KZipParams, PasswordText) == 20);
KELP_ABI_ASSERT(offsetof(KZipParams, StoreSuffixes) == 24);
KELP_ABI_ASSERT(offsetof(KZipParams, SkipDirEntries) == 44);
KELP_ABI_ASSERT(offsetof(KZipParams, VerboseOn) == 52);
KELP_ABI_ASSERT(offsetof(KZipParams, CompressionLevel) == 60);
KELP_ABI_ASSERT(offsetof(KZipParams, DropPaths) == 72);
KELP_ABI_ASSERT(offsetof(KZipParams, RecurseOn) == 76);
KELP_ABI_ASSERT(offsetof(KZipParams, Reserved80) == 80);
KELP_ABI_ASSERT(offsetof(KZipParams, DeleteMode) == 92);
KELP_ABI_ASSERT(offsetof(KZipParams, FreshenOn) == 100);
KELP_ABI_ASSERT(offsetof(KZipParams, ArchiveTimeOn) == 108);
KELP_ABI_ASSERT(offsetof(KZipParams, SpecCount) == 120);
KELP_ABI_ASSERT(offsetof(KZipParams, ArchiveNameText) == 124);
KELP_ABI_ASSERT(offsetof(KZipParams, TempDirText) == 128);
KELP_ABI_ASSERT(offsetof(KZipParams, CommentText) == 132);
KELP_ABI_ASSERT(offsetof(KZipParams, ArchiveOnlyOn) == 136);
KELP_ABI_ASSERT(offsetof(KZipParams, ResetArchiveOn) == 138);
KELP_ABI_ASSERT(offsetof(KZipParams, SpecTable) == 140);
KELP_ABI_ASSERT(offsetof(KZipParams, ExcludeCount) == 148);
KELP_ABI_ASSERT(offsetof(KZipParams, ExcludeTable) == 152);
KELP_ABI_ASSERT(offsetof(KZipParams, StoreLinks) == 156);
KELP_ABI_ASSERT(offsetof(KZipParams, Method) == 160);
KELP_ABI_ASSERT(offsetof(KZipParams, Encryption) == 164);
KELP_ABI_ASSERT(offsetof(KZipParams, ExactNames) == 168);
KELP_ABI_ASSERT(offsetof(KZipParams, RenameCount) == 172);
KELP_ABI_ASSERT(offsetof(KZipParams, RenameTable) == 176);
KELP_ABI_ASSERT(offsetof(KZipParams, NameCharsetText) == 180);
KELP_ABI_ASSERT(offsetof(KZipParams, DirectoryLoan) == 184);
KELP_ABI_ASSERT(offsetof(KZipParams, EndMarker) == 212);
KELP_ABI_ASSERT(sizeof(KZipParams) == 216);

KELP_ABI_ASSERT(offsetof(KZipParamsOld, ArchiveNameText) == 124);
KELP_ABI_ASSERT(offsetof(KZipParamsOld, EndMarker) == 128);
KELP_ABI_ASSERT(offsetof(KZipParamsOld, SpecTexts) == 132);
KELP_ABI_ASSERT(sizeof(KZipParamsOld) == 16520);

KELP_ABI_ASSERT(sizeof(KUnzipSpec) == 72);

KELP_ABI_ASSERT(offsetof(KUnzipParams, PasswordText) == 24);
KELP_ABI_ASSERT(offsetof(KUnzipParams, TestOn) == 28);
KELP_ABI_ASSERT(offsetof(KUnzipParams, QuietOn) == 40);
KELP_ABI_ASSERT(offsetof(KUnzipParams, OverwriteOn) == 60);
KELP_ABI_ASSERT(offsetof(KUnzipParams, SpecCount) == 64);
KELP_ABI_ASSERT(offsetof(KUnzipParams, ArchiveNameText) == 68);
KELP_ABI_ASSERT(offsetof(KUnzipParams, SpecTable) == 72);
KELP_ABI_ASSERT(offsetof(KUnzipParams, ToMemory) == 80);
KELP_ABI_ASSERT(offsetof(KUnzipParams, MemoryAddress) == 84);
KELP_ABI_ASSERT(offsetof(KUnzipParams, MemorySize) == 88);
KELP_ABI_ASSERT(offsetof(KUnzipParams, TargetDirText) == 92);
KELP_ABI_ASSERT(offsetof(KUnzipParams, PasswordTries) == 104);
KELP_ABI_ASSERT(offsetof(KUnzipParams, ExactNames) == 108);
KELP_ABI_ASSERT(offsetof(KUnzipParams, NameCharsetText) == 112);
KELP_ABI_ASSERT(offsetof(KUnzipParams, RepairTargetText) == 116);
KELP_ABI_ASSERT(offsetof(KUnzipParams, DirectoryLoan) == 120);
KELP_ABI_ASSERT(offsetof(KUnzipParams, CheckOn) == 136);
KELP_ABI_ASSERT(offsetof(KUnzipParams, EndMarker) == 144);
KELP_ABI_ASSERT(sizeof(KUnzipParams) == 148);

KELP_ABI_ASSERT(offsetof(KUnzipParamsOld, EndMarker) == 72);
KELP_ABI_ASSERT(offsetof(KUnzipParamsOld, SpecTexts) == 76);
KELP_ABI_ASSERT(sizeof(KUnzipParamsOld) == 16464);
#endif

#ifdef __cplusplus
}
#endif

#endif /* KELP_LIB_ABI_H */
