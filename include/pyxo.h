/*
 * pyxo.h - host library of the pyxo USB security token.
 *
 * The token has its own memory, a PIN, an 8-byte master key and a small
 * file system of numbered directories and files; it computes MD5-based
 * keyed hashes inside itself from key material kept in its files.  This
 * library turns each call into token commands, carries them through the
 * token driver and turns the answers into status codes.  It also computes
 * MD5, HMAC-MD5 and CHAP-MD5 on the host.
 *
 * The library keeps no state, allocates nothing, starts no threads and
 * writes no files.  Everything that belongs to one opened token lives in a
 * PYXO_CONTEXT that the application allocates and passes to every token
 * call.  A context serves one thread at a time; separate contexts are
 * independent.
 *
 * Conventions of every Pyxo_ function:
 *  - it returns a 32-bit status code: PYXO_OK (0) or one of PYXO_ERR_*;
 *  - argument checks come first, so they are reported even for a context
 *    that is not open; otherwise a context that is not open gives
 *    PYXO_ERR_NO_DEVICE;
 *  - records the library unpacks an answer into are written only on
 *    success; a buffer the token's answer is delivered into directly holds
 *    no defined value after a failure;
 *  - sizes, offsets and lengths of file data are byte counts that must be
 *    even: token memory is addressed in 16-bit words.
 *
 * Every token function can also return the driver failures
 * PYXO_ERR_ACCESS_DENIED, PYXO_ERR_INVALID_HANDLE, PYXO_ERR_INVALID_PARAMETER
 * and PYXO_ERR_IO, PYXO_ERR_RESPONSE_LENGTH for an answer of the wrong
 * length, and any translated token refusal (the "token status" codes
 * below).  The per-function comments list only what is particular to it.
 */
#ifndef PYXO_H
#define PYXO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * PYXO_CALL: the calling convention of every exported function.  On 32-bit
 * Windows it is __stdcall, the convention of the system's own DLLs, so that
 * applications written for that platform (and languages whose foreign
 * function interface assumes it) call the library without glue; the callee
 * pops its arguments.  Everywhere else there is one convention and the
 * macro is empty.
 */
#if defined(_WIN32) && !defined(_WIN64)
#define PYXO_CALL __stdcall
#else
#define PYXO_CALL
#endif

/* PYXO_API: marks the exported functions. */
#if defined(_WIN32)
#define PYXO_API
#elif defined(__GNUC__)
#define PYXO_API __attribute__((visibility("default")))
#else
#define PYXO_API
#endif

/* ======================================================================
 * Records
 * ====================================================================== */

/*
 * PYXO_CONTEXT: one opened token.  424 bytes, allocated by the application
 * (statically, on its stack or on its heap).  The first Pyxo_OpenDevice
 * initialises it; it can be closed and opened again any number of times.
 * Treat every field as read-only: the library writes them.
 */
typedef struct PYXO_CONTEXT {
    uint32_t signature;        /* 0x4D56515A once initialised                 */
    void *device_handle;       /* driver handle, or INVALID_HANDLE_VALUE       */
    uint32_t device_index;     /* one past the attached token's position       */
    uint32_t flags;            /* PYXO_FLAG_ATTACHED while attached            */
    uint32_t context_version;  /* always 2                                     */
    uint32_t driver_version;   /* as reported by the driver                    */
    uint8_t descriptor_byte2;  /* token descriptor byte 2, not interpreted     */
    uint8_t descriptor_byte3;  /* token descriptor byte 3, not interpreted     */
    uint8_t model;             /* token model, 0x40 to 0x5F                    */
    uint32_t id_size;          /* 4: 16-bit identifiers, 8: 32-bit identifiers */
    uint32_t capability_param; /* 8 x the capability parameter byte, or 0      */
    uint32_t memory_size;      /* token memory in bytes                        */
    uint32_t capabilities;     /* decoded capability bits                      */
    uint32_t serial_number[2]; /* as Pyxo_GetSerialNumber returns it           */
    /* The selection mirror: what the library last learned about the file
     * selected on the token.  current_file_type 0xFF with current_file_attr
     * 0 means that no file is selected. */
    uint32_t current_dir_id;
    uint32_t current_file_id;
    uint32_t current_file_size; /* bytes */
    uint8_t current_file_type;  /* 0 to 7, or 0xFF */
    uint8_t current_file_attr;  /* 0 to 31 */
    uint8_t reserved[424 - 58 - 2 * sizeof(void *)];
} PYXO_CONTEXT;

#define PYXO_FLAG_ATTACHED 0x20000000u

/*
 * PYXO_FILEINFO: one entry of the token's file system, as Pyxo_Dir reports
 * it and Pyxo_CreateFile takes it.
 *
 * type: 0 a directory, 1 an entry without access conditions, 2 and 3 files
 * with two access conditions (access1, access2), 4 a file with access2 and
 * access3 (access1 reads 7); 0xFF a type code the library does not know.
 * Conditions an entry type does not carry read as 7 (access3 of types 2 and
 * 3 reads 0).  size is in bytes and always even.
 */
typedef struct PYXO_FILEINFO {
    uint32_t file_id;
    uint32_t dir_id;
    uint32_t size;
    uint8_t type;
    uint8_t access1;
    uint8_t access2;
    uint8_t access3;
} PYXO_FILEINFO;

/*
 * PYXO_ACCESS_SETTINGS: the token's access settings as four small values.
 * Their meaning belongs to the token; the library checks ranges and packs
 * them into the token's two settings bytes.
 */
typedef struct PYXO_ACCESS_SETTINGS {
    uint8_t nibble_high; /* 0 to 15 */
    uint8_t nibble_low;  /* 0 to 15 */
    uint8_t octal_high;  /* 0 to 7  */
    uint8_t octal_low;   /* 0 to 7  */
} PYXO_ACCESS_SETTINGS;

/*
 * MD5_CTX: an MD5 computation in progress (RFC 1321), allocated by the
 * caller.  count is the number of bits hashed so far, low word first; state
 * the chaining words A, B, C, D; buffer the bytes not compressed yet
 * ((count[0] >> 3) & 63 of them).  No function touches reserved.
 */
typedef struct MD5_CTX {
    uint32_t count[2];
    uint32_t state[4];
    uint8_t buffer[64];
    uint8_t reserved[16];
} MD5_CTX;

/* ======================================================================
 * Status codes
 * ====================================================================== */

#define PYXO_OK                     0u   /* success; token status 0 */
#define PYXO_ERR_DRIVER_COMM        1u   /* open: driver version query failed */
#define PYXO_ERR_DRIVER_VERSION     2u   /* open: driver version below 0x100 */
#define PYXO_ERR_3                  3u   /* token status 3 */
#define PYXO_ERR_ACCESS_DENIED      4u   /* driver: access denied; token status 1 */
#define PYXO_ERR_5                  5u   /* token status 2 */
#define PYXO_ERR_NO_DEVICE          6u   /* context not open; no driver; no token left */
#define PYXO_ERR_INVALID_HANDLE     7u   /* driver: invalid handle */
#define PYXO_ERR_IO                 8u   /* driver: any other failure; empty answer */
#define PYXO_ERR_9                  9u   /* token status 4 */
#define PYXO_ERR_10                 10u  /* token status 5 */
#define PYXO_ERR_MEMORY             11u  /* token status 6; memory check failed */
#define PYXO_ERR_SELFTEST           12u  /* token status 7; self-test failed */
#define PYXO_ERR_RESPONSE_LENGTH    13u  /* answer of an unexpected length */
#define PYXO_ERR_14                 14u  /* token status 8 */
#define PYXO_ERR_15                 15u  /* token status 9 */
#define PYXO_ERR_NO_SPACE           16u  /* token status 10; size above memory */
#define PYXO_ERR_INVALID_PARAMETER  17u  /* driver: invalid parameter; token
                                            status 11; argument out of range */
#define PYXO_ERR_ODD_LENGTH         18u  /* odd offset, length or size */
#define PYXO_ERR_DATA_TOO_LONG      19u  /* too much data for one hash block */
#define PYXO_ERR_20                 20u  /* token status 12 */
#define PYXO_ERR_DEVICE_21          21u  /* open: token attached elsewhere */
#define PYXO_ERR_UNKNOWN            255u /* token status 13 to 31 */

/* ======================================================================
 * Device: opening, closing and device services
 * ====================================================================== */

/* Open modes (only the low four bits of the mode argument count). */
#define PYXO_OPEN_NEXT  0u /* the token after the one this context opened last */
#define PYXO_OPEN_FIRST 1u /* the first token */
#define PYXO_OPEN_SAME  2u /* the same token again, recognised by serial number */

/*
 * Pyxo_OpenDevice: find a token through the driver and attach it to the
 * context.  Initialises a context that does not carry the signature yet and
 * closes whatever the context held open before.  On success the context is
 * open; on every failure it is closed.
 * Returns PYXO_OK; PYXO_ERR_INVALID_PARAMETER for an unknown mode;
 * PYXO_ERR_NO_DEVICE when the driver cannot be opened or no token is left;
 * PYXO_ERR_DRIVER_COMM when the version query fails; PYXO_ERR_DRIVER_VERSION
 * for a driver older than 0x100; PYXO_ERR_DEVICE_21 when the token found is
 * attached to another handle; or the status of reading the serial number.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_OpenDevice(PYXO_CONTEXT *context, uint32_t mode);

/*
 * Pyxo_CloseDevice: give the token back to the driver and close the driver
 * handle.  Harmless on a closed or never-opened context.  Returns PYXO_OK.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_CloseDevice(PYXO_CONTEXT *context);

/*
 * Pyxo_Diagnose: run the token's self-test.  result[0] receives a value the
 * token reports; result[1] 0xFFFF when all passed.
 * Returns PYXO_OK; PYXO_ERR_SELFTEST with result[1] the self-test result;
 * PYXO_ERR_MEMORY with result[1] the memory test result and block count.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_Diagnose(PYXO_CONTEXT *context, uint16_t result[2]);

/*
 * Pyxo_ResetDevice: reset the token.  No file is selected afterwards (the
 * mirror says so even when the call fails).  No answer is awaited.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_ResetDevice(PYXO_CONTEXT *context);

/*
 * Pyxo_GetResponse: read the token's raw answer to command 1, up to 64
 * bytes, into buffer; *length receives the byte count and the rest of the
 * buffer is zeroed.  Returns PYXO_OK for an answer of two or more bytes, the
 * translated status for a single byte, PYXO_ERR_IO for an empty answer.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_GetResponse(PYXO_CONTEXT *context, uint8_t *buffer /* 64 bytes */,
                                             uint32_t *length);

/* Pyxo_GetSerialNumber: the token's serial number as two 32-bit words. */
PYXO_API uint32_t PYXO_CALL Pyxo_GetSerialNumber(PYXO_CONTEXT *context, uint32_t result[2]);

/* Pyxo_LedControl: set the token's LED; the low 16 bits of value are sent. */
PYXO_API uint32_t PYXO_CALL Pyxo_LedControl(PYXO_CONTEXT *context, uint32_t value);

/* ======================================================================
 * File system
 *
 * Identifiers are 32-bit when the context's id_size is 8; otherwise
 * directory identifiers have 16 bits and file identifiers 8 bits.
 * ====================================================================== */

/*
 * Pyxo_Dir: read entry number index of directory dir_id into *info.  No
 * file is selected afterwards.  A position with no entry comes back as the
 * token's refusal.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_Dir(PYXO_CONTEXT *context, uint32_t dir_id, uint32_t index,
                                     PYXO_FILEINFO *info);

/*
 * Pyxo_SelectFile: select a file; reading, writing, decrementing and token
 * hashing act on the selected file.  The mirror in the context shows the
 * requested identifiers at once and the file's size, type and attributes on
 * success.  Returns PYXO_ERR_INVALID_PARAMETER, without sending, for
 * identifiers that do not fit 16-bit identifiers (dir_id above 0xFFFF or
 * file_id above 0xFF).
 */
PYXO_API uint32_t PYXO_CALL Pyxo_SelectFile(PYXO_CONTEXT *context, uint32_t dir_id,
                                            uint32_t file_id);

/* Pyxo_CloseFile: drop the selection (the mirror is cleared first). */
PYXO_API uint32_t PYXO_CALL Pyxo_CloseFile(PYXO_CONTEXT *context);

/*
 * Pyxo_ReadFile: read length bytes at byte offset of the selected file into
 * buffer, in chunks of 64 bytes.  *bytes_read counts the bytes read, also
 * when a chunk fails.  Returns PYXO_ERR_ODD_LENGTH for an odd offset or
 * length; PYXO_ERR_INVALID_PARAMETER for an offset beyond the token's memory
 * or a transfer that reaches past the token's addressable words.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_ReadFile(PYXO_CONTEXT *context, void *buffer, uint32_t offset,
                                          uint32_t length, uint32_t *bytes_read);

/*
 * Pyxo_WriteFile: write length bytes of data at byte offset of the selected
 * file, in chunks of 76 bytes.  *bytes_written counts the bytes written.
 * Errors as Pyxo_ReadFile.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_WriteFile(PYXO_CONTEXT *context, const void *data, uint32_t offset,
                                           uint32_t length, uint32_t *bytes_written);

/* Pyxo_Decrement: have the token decrement the selected file. */
PYXO_API uint32_t PYXO_CALL Pyxo_Decrement(PYXO_CONTEXT *context);

/*
 * Pyxo_CreateDir: create directory dir_id of size bytes.  Returns
 * PYXO_ERR_ODD_LENGTH for an odd size, PYXO_ERR_NO_SPACE for a size above
 * the token's memory, PYXO_ERR_INVALID_PARAMETER for a size of 0.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_CreateDir(PYXO_CONTEXT *context, uint32_t dir_id, uint32_t size);

/*
 * Pyxo_CreateFile: create the file that *info describes (type 2, 3 or 4);
 * on success it is the selected file.  Returns PYXO_ERR_ODD_LENGTH,
 * PYXO_ERR_NO_SPACE as Pyxo_CreateDir; PYXO_ERR_INVALID_PARAMETER for a size
 * of 0, another type, an access condition above 7, or (16-bit identifiers)
 * an identifier or size that does not fit.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_CreateFile(PYXO_CONTEXT *context, const PYXO_FILEINFO *info);

/* Pyxo_DeleteDir: delete a directory; PYXO_ERR_INVALID_PARAMETER for 0. */
PYXO_API uint32_t PYXO_CALL Pyxo_DeleteDir(PYXO_CONTEXT *context, uint32_t dir_id);

/* Pyxo_DeleteFile: delete a file.  No file is selected afterwards. */
PYXO_API uint32_t PYXO_CALL Pyxo_DeleteFile(PYXO_CONTEXT *context, uint32_t dir_id,
                                            uint32_t file_id);

/* Pyxo_DeleteAllFiles: have the token delete all its files. */
PYXO_API uint32_t PYXO_CALL Pyxo_DeleteAllFiles(PYXO_CONTEXT *context);

/* ======================================================================
 * Authentication and access settings
 * ====================================================================== */

/* Pyxo_VerifyPIN: present the PIN; a refusal comes back as token status. */
PYXO_API uint32_t PYXO_CALL Pyxo_VerifyPIN(PYXO_CONTEXT *context, uint32_t pin);

/* Pyxo_VerifyMasterKey: present the 8-byte master key. */
PYXO_API uint32_t PYXO_CALL Pyxo_VerifyMasterKey(PYXO_CONTEXT *context,
                                                 const uint8_t master_key[8]);

/* Pyxo_GetChallenge: fetch 8 fresh random bytes from the token. */
PYXO_API uint32_t PYXO_CALL Pyxo_GetChallenge(PYXO_CONTEXT *context, uint8_t challenge[8]);

/* Pyxo_GetAccessSettings: read the token's access settings. */
PYXO_API uint32_t PYXO_CALL Pyxo_GetAccessSettings(PYXO_CONTEXT *context,
                                                   PYXO_ACCESS_SETTINGS *settings);

/*
 * Pyxo_SetAccessSettings: write the token's access settings.  Returns
 * PYXO_ERR_INVALID_PARAMETER, without sending, for a value out of range.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_SetAccessSettings(PYXO_CONTEXT *context,
                                                   const PYXO_ACCESS_SETTINGS *settings);

/* Pyxo_ModifyPIN: change the PIN. */
PYXO_API uint32_t PYXO_CALL Pyxo_ModifyPIN(PYXO_CONTEXT *context, uint32_t pin);

/* Pyxo_ModifyMasterKey: change the master key. */
PYXO_API uint32_t PYXO_CALL Pyxo_ModifyMasterKey(PYXO_CONTEXT *context,
                                                 const uint8_t master_key[8]);

/* ======================================================================
 * Token hashing
 * ====================================================================== */

/* Hash modes (only the low four bits of the mode argument count). */
#define PYXO_HASH_MODE_RAW   0u /* one MD5 compression of a caller-made block */
#define PYXO_HASH_MODE_KEYED 1u /* MD5 resumed from the selected file's state */
#define PYXO_HASH_MODE_CHAP  2u /* CHAP-MD5 with the selected file's secret */

/*
 * Pyxo_HashToken: have the token run one MD5 block operation over data
 * (at most 64 bytes are used; CHAP mode takes at most 52) and write the
 * 16-byte result to digest, which may be the data buffer itself.
 * Returns PYXO_ERR_INVALID_PARAMETER for an unknown mode,
 * PYXO_ERR_DATA_TOO_LONG for CHAP data above 52 bytes.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_HashToken(PYXO_CONTEXT *context, uint32_t mode,
                                           const uint8_t *data, uint32_t length,
                                           uint8_t digest[16]);

/*
 * Pyxo_HMAC_MD5: HMAC-MD5 (RFC 2104) of 0 to 55 bytes of data with the key
 * the token holds as an inner and an outer key file (the states HMAC_MD5
 * hands out).  The outer key file stays selected.  Returns
 * PYXO_ERR_DATA_TOO_LONG above 55 bytes, PYXO_ERR_INVALID_PARAMETER for a
 * negative length, both before anything is selected or sent.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_HMAC_MD5(PYXO_CONTEXT *context, uint32_t inner_dir_id,
                                          uint32_t inner_file_id, uint32_t outer_dir_id,
                                          uint32_t outer_file_id, const uint8_t *data,
                                          int32_t length, uint8_t digest[16]);

/*
 * Pyxo_CHAP_MD5: the CHAP-MD5 response (RFC 1994) to a challenge of 0 to 50
 * bytes with the secret held in file file_id of directory dir_id, which
 * stays selected.  Only the low 8 bits of identifier are used.  Returns
 * PYXO_ERR_DATA_TOO_LONG above 50 bytes, PYXO_ERR_INVALID_PARAMETER for a
 * negative length, both before anything is selected or sent.
 */
PYXO_API uint32_t PYXO_CALL Pyxo_CHAP_MD5(PYXO_CONTEXT *context, uint32_t dir_id, uint32_t file_id,
                                          uint32_t identifier, const uint8_t *challenge,
                                          int32_t challenge_length, uint8_t digest[16]);

/* ======================================================================
 * Host digests (no token involved; no argument is checked)
 * ====================================================================== */

/* MD5Init, MD5Update, MD5Final: incremental MD5 (RFC 1321).  MD5Final
 * leaves the digest words in state; start again with MD5Init. */
PYXO_API void PYXO_CALL MD5Init(MD5_CTX *context);
PYXO_API void PYXO_CALL MD5Update(MD5_CTX *context, const uint8_t *input, uint32_t input_length);
PYXO_API void PYXO_CALL MD5Final(uint8_t digest[16], MD5_CTX *context);

/* MD5_Hash: the MD5 digest of one buffer.  Returns digest. */
PYXO_API uint8_t *PYXO_CALL MD5_Hash(const uint8_t *data, uint32_t data_length, uint8_t *digest);

/*
 * HMAC_MD5: HMAC-MD5 (RFC 2104) of text under key.  A key longer than 64
 * bytes is replaced by its MD5; key_length 0 or below is an empty key.
 * inner_state and outer_state, when not null, receive the MD5 chaining
 * states after the inner and outer key block: the contents of the token's
 * inner and outer key files for Pyxo_HMAC_MD5.  Returns digest.
 */
PYXO_API uint8_t *PYXO_CALL HMAC_MD5(const uint8_t *text, uint32_t text_length, const uint8_t *key,
                                     int32_t key_length, uint8_t *inner_state,
                                     uint8_t *outer_state, uint8_t *digest);

/* CHAP_MD5: MD5 of (identifier & 0xFF, secret, challenge), RFC 1994. */
PYXO_API uint8_t *PYXO_CALL CHAP_MD5(uint32_t identifier, const uint8_t *secret,
                                     uint32_t secret_length, const uint8_t *challenge,
                                     uint32_t challenge_length, uint8_t *digest);

#ifdef __cplusplus
}
#endif

#endif /* PYXO_H */
