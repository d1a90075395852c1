// The disc-writing library's interface: libdiscapi.so, loaded at run time by the client's
// loader (record/DiscApiLoader.h) and never linked. Every record that crosses the interface
// has a fixed layout; the sizes below are checked at compile time.
//
// Drives: "Image Recorder" (writes an ISO image file the caller names through the user
// dialog, request 20), the optical drives libburn finds, and file drives named in the
// environment variable TRELVIX_DISC_FILES ("path:capacity[,path:capacity...]", capacity in
// bytes with an optional K, M or G): a file that behaves as a multi-session CD.
#pragma once
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The library's version: 6.6.0.14, and as one decimal number 6609 (each part capped at 9).
#define DISCAPI_VERSION_MAJOR 6
#define DISCAPI_VERSION_MINOR 6
#define DISCAPI_VERSION_RELEASE 0
#define DISCAPI_VERSION_BUILD 14
#define DISCAPI_VERSION_NUMBER 6609

// Media-type bits (the disc information's mask and the burn record's media type).
#define DISC_MEDIA_CD 0x1u
#define DISC_MEDIA_DVD 0xC001Cu
#define DISC_MEDIA_DVD_BITS 0xC781Eu  // any of these marks a DVD
#define DISC_MEDIA_ROM 0x100000u      // a disc that cannot be written

// Results of DiscBurn.
enum DiscBurnResult {
  DISC_BURN_OK = 0,
  DISC_BURN_UNKNOWN_FORMAT = 1,
  DISC_BURN_INVALID_DRIVE = 2,
  DISC_BURN_FAILED = 3,
  DISC_BURN_NOT_ALLOWED = 4,
  DISC_BURN_DRIVE_NOT_ALLOWED = 5,
  DISC_BURN_ABORTED = 6,
  DISC_BURN_BAD_MESSAGE_FILE = 7,
};

// Burn flags: 0x04 writes and closes the disc; with 0x10 as well the disc stays appendable.
#define DISC_BURN_WRITE 0x04u
#define DISC_BURN_MULTISESSION 0x10u

// DiscCreateIsoTrackEx flags.
#define DISC_ISO_JOLIET 0x01u
#define DISC_ISO_ROCKRIDGE 0x02u
#define DISC_ISO_LONG_NAMES 0x08u
#define DISC_ISO_NAME_RECORD 0x80u  // the name argument is a record (not supported: refused)

// Import errors (DiscImportDataTrack's error output).
enum DiscImportError {
  DISC_IMPORT_UNKNOWN = 0,
  DISC_IMPORT_GENERIC = 1,
  DISC_IMPORT_DRIVE = 2,
  DISC_IMPORT_READ = 3,
  DISC_IMPORT_FILESYSTEM = 4,
  DISC_IMPORT_INVALID_TRACK = 5,
};

// User-dialog requests the library makes.
#define DISC_REQUEST_IMAGE_PATH 20   // data: a DISC_PATH_BUFFER-byte buffer; answer 1 OK
#define DISC_ANSWER_IMAGE_CANCEL 21  // the caller cancelled the image file
#define DISC_REQUEST_WAIT_TEXTS 15
#define DISC_PATH_BUFFER 4096

typedef int (*DiscIdleCallbackFn)(void* user);
typedef int (*DiscUserDialogCallbackFn)(void* user, int request, void* data);
typedef int (*DiscProgressCallbackFn)(int percent, void* user);
typedef int (*DiscAbortedCallbackFn)(void* user);
typedef void (*DiscAddLogLineCallbackFn)(int type, const char* text, void* user);
typedef void (*DiscSetPhaseCallbackFn)(const char* text, void* user);

// DiscInit's settings.
typedef struct DiscSettings {
  const char* app_name;     // also the default volume name
  const char* company;      // may be empty
  const char* vendor;
  const char* log_file;     // name of the log; the log is kept in memory (DiscGetErrorLog)
  DiscIdleCallbackFn idle;  // called while the library waits; non-zero asks it to stop
  void* idle_user;
  DiscUserDialogCallbackFn user_dialog;  // questions to the caller (requests above)
  void* user_dialog_user;
  uint8_t reserved[64];
} DiscSettings;

// The progress record DiscBurn reports through.
typedef struct DiscProgress {
  DiscProgressCallbackFn progress;  // percent 0..100
  DiscAbortedCallbackFn aborted;    // non-zero: stop the burn
  DiscAddLogLineCallbackFn add_log_line;
  DiscSetPhaseCallbackFn set_phase;
  void* user;
  void* reserved[3];
} DiscProgress;

// One drive of the drive list (1720 bytes).
typedef struct DiscDriveEntry {
  char name[64];           // 0: the drive's name ("Image Recorder", ...)
  char short_text[4];      // 64: three characters of the drive kind
  uint32_t reserved68;     // 68
  uint32_t kind;           // 72: DISC_DRIVE_* below
  uint32_t media_mask;     // 76: media the drive can write
  uint32_t index;          // 80: position in the list
  uint8_t removable;       // 84
  uint8_t pad85[3];        // 85
  uint32_t capacity_mb;    // 88: file drives: the capacity in MiB (0 otherwise)
  uint32_t write_speed_count;  // 92
  uint32_t write_speed_base;   // 96: 150
  uint32_t write_speeds_x150[64];  // 100
  uint32_t write_speeds[64];       // 356
  uint8_t pad612[128];             // 612
  uint32_t read_speed_count;       // 740
  uint32_t read_speed_base;        // 744
  uint32_t read_speeds_x150[64];   // 748
  uint32_t read_speeds[64];        // 1004
  uint8_t pad1260[128];            // 1260
  uint32_t number1388;             // 1388
  char vendor[64];                 // 1392
  uint32_t number1456;             // 1456
  uint32_t reserved1460;           // 1460
  char address[256];               // 1464: the path of a file drive or the optical drive's address
} DiscDriveEntry;

#define DISC_DRIVE_IMAGE 0u
#define DISC_DRIVE_OPTICAL 1u
#define DISC_DRIVE_FILE 2u
#define DISC_IMAGE_RECORDER_NAME "Image Recorder"

// The drive list: a count followed by the entries (freed with DiscFreeMem).
typedef struct DiscDriveList {
  uint32_t count;
  DiscDriveEntry drives[1];  // `count` entries follow the count directly
} DiscDriveList;
#define DISC_DRIVE_LIST_BYTES(n) (4u + (uint32_t)(n) * 1720u)
// The entries start 4 bytes into the list.
#define DISC_DRIVE_AT(list, i) ((DiscDriveEntry*)((char*)(list) + 4 + (size_t)(i) * 1720u))

// One session's data track.
typedef struct DiscTrackInfo {
  uint32_t start_block;
  uint32_t size_blocks;
  uint32_t session;  // 1-based
  uint32_t reserved;
} DiscTrackInfo;

#define DISC_MAX_TRACKS 99

// The disc in a drive (DiscGetCDInfo; freed with DiscFreeMem).
typedef struct DiscCDInfo {
  uint32_t size;          // bytes of this record
  uint32_t media_mask;    // DISC_MEDIA_*; 0 no medium
  uint32_t free_blocks;   // 2048-byte blocks still writable
  uint32_t used_blocks;
  uint32_t closed;        // 1: nothing can be appended
  uint32_t track_count;   // set only when asked for the tracks (flag 0)
  uint32_t session_count;
  uint32_t reserved;
  DiscTrackInfo tracks[DISC_MAX_TRACKS];
} DiscCDInfo;

// A date and time of an item, all 0 = none (UTC).
typedef struct DiscDateTime {
  uint16_t year;
  uint8_t month, day, hour, minute, second, reserved;
} DiscDateTime;

// One file or directory of an ISO tree (592 bytes). The caller owns long_name and
// long_source of the items it makes; the library owns them for reference items.
typedef struct DiscIsoItem {
  char* long_name;               // 0: the name on the disc (kept as given)
  char short_name[64];           // 8: used when long_name is 0
  char* long_source;             // 72: the local file (or folder) written
  char source[256];              // 80: used when long_source is 0
  uint32_t is_directory;         // 336
  uint32_t is_reference;         // 340: the item stands for a file of an imported session
  struct DiscIsoItem* children;  // 344: a directory's items
  struct DiscIsoItem* next;      // 352
  DiscDateTime entry;            // 360: modification time; 0 = none
  uint64_t size;                 // 368: bytes (references: the imported size)
  void* reference;               // 376: library: the imported node
  void* stamp;                   // 384: library: the stamp the reference belongs to
  uint8_t reserved[200];         // 392
} DiscIsoItem;

// The record DiscImportDataTrack fills beside the items: `size` is set by the caller;
// the library may put an allocation into `note` (freed by the caller with DiscFreeMem).
typedef struct DiscImportRecord {
  uint32_t size;
  uint32_t reserved;
  char* note;  // the imported session's volume name
} DiscImportRecord;

// The burn record, format 0: an ISO track (956 bytes, zeroed by the caller).
#pragma pack(push, 4)
typedef struct DiscBurnRecord {
  uint32_t size;              // 0
  uint32_t reserved4;         // 4
  void* iso_track;            // 8: DiscCreateIsoTrackEx's track
  void* stamp;                // 16: DiscImportDataTrack's stamp: append to that session
  uint32_t media_type;        // 24: DISC_MEDIA_CD or DISC_MEDIA_DVD
  uint32_t further_tracks;    // 28
  uint8_t reserved[956 - 32];
} DiscBurnRecord;
#pragma pack(pop)

typedef struct DiscDevice DiscDevice;    // an open drive
typedef struct DiscCDStamp DiscCDStamp;  // an imported session
typedef struct DiscIsoTrack DiscIsoTrack;

#ifdef __cplusplus
static_assert(sizeof(DiscDriveEntry) == 1720, "drive entry layout");
static_assert(offsetof(DiscDriveEntry, write_speed_count) == 92, "drive entry layout");
static_assert(offsetof(DiscDriveEntry, read_speed_count) == 740, "drive entry layout");
static_assert(offsetof(DiscDriveEntry, number1388) == 1388, "drive entry layout");
static_assert(offsetof(DiscDriveEntry, number1456) == 1456, "drive entry layout");
static_assert(sizeof(DiscIsoItem) == 592, "item layout");
static_assert(offsetof(DiscIsoItem, next) == 352, "item layout");
static_assert(sizeof(DiscBurnRecord) == 956, "burn record layout");
static_assert(offsetof(DiscBurnRecord, iso_track) == 8, "burn record layout");
static_assert(offsetof(DiscBurnRecord, media_type) == 24, "burn record layout");
#endif

// The library's functions (exported names). The loader's stubs have the same signatures.
#define DISCAPI_FUNCTIONS(X)                                                                        \
  X(void, DiscFreeMem, (void* p), (p))                                                              \
  X(int, DiscGetLastDriveError, (DiscDevice * d), (d))                                              \
  X(int, DiscGetLastError, (void), ())                                                              \
  X(char*, DiscGetErrorLog, (void), ())                                                             \
  X(char*, DiscGetLastErrors, (void), ())                                                           \
  X(void, DiscClearErrors, (void), ())                                                              \
  X(int, DiscGetAPIVersion, (void), ())                                                             \
  X(int, DiscGetAPIVersionEx, (int* major, int* minor, int* release, int* build),                   \
    (major, minor, release, build))                                                                 \
  X(int, DiscInit, (const DiscSettings* settings, void* reserved), (settings, reserved))            \
  X(int, DiscDone, (void), ())                                                                      \
  X(int, DiscSetOption, (int option, int value), (option, value))                                   \
  X(DiscDriveList*, DiscGetAvailableDrives, (void* reserved), (reserved))                           \
  X(DiscDriveList*, DiscGetAvailableDrivesEx, (uint32_t mask, void* reserved), (mask, reserved))    \
  X(int, DiscUpdateDeviceInfo, (DiscDriveEntry * entry, uint32_t mask), (entry, mask))              \
  X(int, DiscGetAvailableSpeeds, (DiscDevice * d, uint32_t mask, int* speeds), (d, mask, speeds))   \
  X(DiscDevice*, DiscOpenDevice, (const DiscDriveEntry* entry), (entry))                            \
  X(void, DiscCloseDevice, (DiscDevice * d), (d))                                                   \
  X(int, DiscSetDeviceOption, (DiscDevice * d, int option, int value), (d, option, value))          \
  X(int, DiscGetDeviceOption, (DiscDevice * d, int option), (d, option))                            \
  X(DiscCDInfo*, DiscGetCDInfo, (DiscDevice * d, int quick), (d, quick))                            \
  X(void*, DiscGetVMSInfo, (DiscDevice * d), (d))                                                   \
  X(void*, DiscGetDiscImageInfo, (const char* path), (path))                                        \
  X(int, DiscBurn, (DiscDevice * d, int format, void* record, uint32_t flags, int speed,            \
                    const DiscProgress* progress),                                                  \
    (d, format, record, flags, speed, progress))                                                    \
  X(int, DiscEstimateTrackSize, (void* track, int format), (track, format))                         \
  X(int, DiscDAE, (DiscDevice * d, void* record, const DiscProgress* progress), (d, record, progress)) \
  X(int, DiscIsDeviceReady, (DiscDevice * d), (d))                                                  \
  X(int, DiscWaitForDeviceReady, (DiscDevice * d, int seconds), (d, seconds))                       \
  X(void*, DiscCreateIsoItemOfSize, (uint32_t size), (size))                                        \
  X(DiscIsoItem*, DiscCopyIsoItem, (const DiscIsoItem* item), (item))                               \
  X(void, DiscFreeIsoItem, (DiscIsoItem * item), (item))                                            \
  X(void, DiscFreeIsoItemTree, (DiscIsoItem * item), (item))                                        \
  X(DiscIsoTrack*, DiscCreateIsoTrackEx, (DiscIsoItem * root, const char* name, uint32_t flags),    \
    (root, name, flags))                                                                            \
  X(void, DiscFreeIsoTrack, (DiscIsoTrack * track), (track))                                        \
  X(DiscIsoItem*, DiscImportIsoTrackEx, (DiscDevice * d, int track, DiscCDStamp** stamp,           \
                                         uint32_t flags),                                           \
    (d, track, stamp, flags))                                                                       \
  X(void, DiscFreeCDStamp, (DiscCDStamp * stamp), (stamp))                                          \
  X(int, DiscEjectLoadCD, (DiscDevice * d, int load), (d, load))                                    \
  X(int, DiscWaitForDisc, (DiscDevice * d, int seconds), (d, seconds))                              \
  X(int, DiscWaitForMedia, (DiscDevice * d, int seconds), (d, seconds))                             \
  X(int, DiscInitImageRecorder, (const char* path), (path))                                         \
  X(int, DiscGetCDRWErasingTime, (DiscDevice * d, int full), (d, full))                             \
  X(int, DiscEraseCDRW, (DiscDevice * d, int full), (d, full))                                      \
  X(int, DiscEraseDisc, (DiscDevice * d, int full), (d, full))                                      \
  X(int, DiscRegisterDriveStatusCallback, (void* fn, void* user), (fn, user))                       \
  X(int, DiscUnregisterDriveStatusCallback, (void* fn, void* user), (fn, user))                     \
  X(int, DiscRegisterDriveChangeCallback, (void* fn, void* user), (fn, user))                       \
  X(int, DiscUnregisterDriveChangeCallback, (void* fn, void* user), (fn, user))                     \
  X(int, DiscSetExpectedAPIVersion, (int version), (version))                                       \
  X(int, DiscSetExpectedAPIVersionEx, (int major, int minor, int release, int build, void* reserved), \
    (major, minor, release, build, reserved))                                                       \
  X(char*, DiscGetTypeNameOfMedia, (uint32_t mask), (mask))                                         \
  X(void*, DiscCreateFileSystemContainer, (int kind), (kind))                                       \
  X(void*, DiscAudioCreateTargetItem, (const char* path), (path))                                   \
  X(int, DiscAudioCloseItem, (void* item), (item))                                                  \
  X(int, DiscAudioGUIConfigureItem, (void* item), (item))                                           \
  X(int, DiscAudioGetFormatInfo, (void* item, void* info), (item, info))                            \
  X(DiscIsoItem*, DiscImportDataTrack, (DiscDevice * d, int track, DiscCDStamp** stamp,            \
                                        DiscImportRecord* record, uint32_t flags, int* error,       \
                                        void* reserved),                                            \
    (d, track, stamp, record, flags, error, reserved))                                              \
  X(char*, DiscGetLocalizedWaitCDTexts, (void), ())                                                 \
  X(void*, DiscCreateProgress, (void), ())                                                          \
  X(int, DiscConvertToValidFileSystemName, (char* name, int kind), (name, kind))                    \
  X(int, DiscSetDesiredUDFRevision, (int revision), (revision))                                     \
  X(int, DiscSetDesiredUDFPartitionType, (int type), (type))

#ifdef __cplusplus
}
#endif
