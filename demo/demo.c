/*
 * demo.c - a tour of the token through the public header alone.
 *
 * Opens the first token, provisions an HMAC-MD5 key and a CHAP secret in
 * key files that the token never lets anyone read, computes HMAC-MD5 and
 * CHAP-MD5 on the token and on the host, and lists the token's files.
 *
 * usage: vuxa_demo
 * It expects a token with vuxad's defaults for new tokens: PIN 1234,
 * master key 01 02 03 04 05 06 07 08, files created after the master key.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pyxo.h"

/* Where the demo keeps its key material on the token. */
enum {
    KEY_DIR = 0x10,
    INNER_KEY_FILE = 1,
    OUTER_KEY_FILE = 2,
    CHAP_SECRET_FILE = 3,
    KEY_DIR_BYTES = 256,
};

/* File types and access conditions of the virtual token (docs/virtual-token.md). */
enum {
    TYPE_KEY_FILE = 4, /* never readable; access2 guards writing, access3 hashing */
    COND_ALWAYS = 0,
    COND_AFTER_PIN = 1,
    COND_NEVER = 7,
};

/* The credentials of a new token made by vuxad --new. */
#define DEMO_PIN 1234u
static const uint8_t DEMO_MASTER_KEY[8] = {1, 2, 3, 4, 5, 6, 7, 8};

static int failures;

static void print_hex(const char *label, const uint8_t *bytes, size_t n)
{
    printf("    %-22s", label);
    for (size_t i = 0; i < n; i++)
        printf("%02x", bytes[i]);
    printf("\n");
}

/* Reports a step; a failing step counts against the demo's exit status. */
static int check(const char *what, uint32_t status)
{
    printf("  %-58s %s", what, status == PYXO_OK ? "ok\n" : "FAILED");
    if (status != PYXO_OK) {
        printf(" (status %u)\n", (unsigned)status);
        failures++;
    }
    return status == PYXO_OK;
}

static void compare(const uint8_t token[16], const uint8_t host[16])
{
    int same = memcmp(token, host, 16) == 0;
    print_hex("on the token:", token, 16);
    print_hex("on the host:", host, 16);
    printf("    %s\n\n", same ? "=> the same 16 bytes" : "=> MISMATCH");
    failures += !same;
}

/* A key file of the given size that only a PIN holder may write and
 * everyone may hash with; the token never lets it be read. */
static uint32_t create_key_file(PYXO_CONTEXT *ctx, uint32_t file_id, uint32_t size,
                                const uint8_t *contents)
{
    PYXO_FILEINFO info = {file_id,    KEY_DIR,        size,       TYPE_KEY_FILE,
                          COND_NEVER, COND_AFTER_PIN, COND_ALWAYS};
    uint32_t written = 0;
    uint32_t status = Pyxo_CreateFile(ctx, &info); /* the new file is selected */
    if (status != PYXO_OK)
        return status;
    return Pyxo_WriteFile(ctx, contents, 0, size, &written);
}

static void open_token(PYXO_CONTEXT *ctx)
{
    uint32_t serial[2] = {0, 0};
    printf("1. Open the first token (Pyxo_OpenDevice) and read its serial number\n");
    if (!check("Pyxo_OpenDevice(PYXO_OPEN_FIRST)", Pyxo_OpenDevice(ctx, PYXO_OPEN_FIRST))) {
        printf("\nNo token: is vuxad running, and VUXA_DEVICE_DIR set to its directory?\n");
        exit(1);
    }
    check("Pyxo_GetSerialNumber", Pyxo_GetSerialNumber(ctx, serial));
    printf("    model 0x%02X, %u bytes of memory, serial %08X%08X\n\n", ctx->model,
           (unsigned)ctx->memory_size, (unsigned)serial[1], (unsigned)serial[0]);
}

static void provision(PYXO_CONTEXT *ctx, const uint8_t *key, int key_length, const uint8_t *secret,
                      uint32_t secret_length)
{
    uint8_t inner[16], outer[16], digest[16], secret_file[2 + 64] = {0};
    uint32_t secret_file_size = (2 + secret_length + 1) & ~1u; /* sizes are even */
    uint32_t read = 0;

    printf("2. Provision the key material: log in, make a directory and three key files\n");
    check("Pyxo_VerifyPIN (1234): writing the key files needs it", Pyxo_VerifyPIN(ctx, DEMO_PIN));
    check("Pyxo_VerifyMasterKey: creating files needs it",
          Pyxo_VerifyMasterKey(ctx, DEMO_MASTER_KEY));
    check("Pyxo_CreateDir(0x10, 256 bytes)", Pyxo_CreateDir(ctx, KEY_DIR, KEY_DIR_BYTES));

    /* The token resumes MD5 from the two chaining states after the key
     * blocks: HMAC_MD5 hands them out, so the key itself never goes in. */
    HMAC_MD5((const uint8_t *)"", 0, key, key_length, inner, outer, digest);
    print_hex("inner state:", inner, 16);
    print_hex("outer state:", outer, 16);
    check("inner key file 0x10/1 <- inner state", create_key_file(ctx, INNER_KEY_FILE, 16, inner));
    check("outer key file 0x10/2 <- outer state", create_key_file(ctx, OUTER_KEY_FILE, 16, outer));

    /* A CHAP secret file: the secret's byte count in the first word, then the secret. */
    secret_file[0] = (uint8_t)secret_length;
    secret_file[1] = (uint8_t)(secret_length >> 8);
    memcpy(secret_file + 2, secret, secret_length);
    check("CHAP secret file 0x10/3 <- length, secret",
          create_key_file(ctx, CHAP_SECRET_FILE, secret_file_size, secret_file));

    Pyxo_SelectFile(ctx, KEY_DIR, INNER_KEY_FILE);
    uint32_t status = Pyxo_ReadFile(ctx, digest, 0, 16, &read);
    printf("  %-58s %s (status %u)\n\n", "reading the inner key file back is refused",
           status == PYXO_ERR_ACCESS_DENIED ? "yes" : "NO", (unsigned)status);
    failures += status != PYXO_ERR_ACCESS_DENIED;
}

static void hmac(PYXO_CONTEXT *ctx, const uint8_t *key, int key_length)
{
    const char *message = "Attack at dawn, said the token to the host.";
    uint8_t on_token[16], on_host[16];
    printf("3. HMAC-MD5 of \"%s\"\n", message);
    check("Pyxo_HMAC_MD5 (token, key files 0x10/1 and 0x10/2)",
          Pyxo_HMAC_MD5(ctx, KEY_DIR, INNER_KEY_FILE, KEY_DIR, OUTER_KEY_FILE,
                        (const uint8_t *)message, (int32_t)strlen(message), on_token));
    HMAC_MD5((const uint8_t *)message, (uint32_t)strlen(message), key, key_length, NULL, NULL,
             on_host);
    compare(on_token, on_host);
}

static void chap(PYXO_CONTEXT *ctx, const uint8_t *secret, uint32_t secret_length)
{
    const uint32_t identifier = 0x2A;
    uint8_t challenge[16], on_token[16], on_host[16];
    printf("4. CHAP-MD5 with identifier 0x2A and a 16-byte challenge\n");
    /* Any bytes do; two fresh challenges from the token make a good one. */
    check("Pyxo_GetChallenge (twice)", Pyxo_GetChallenge(ctx, challenge));
    Pyxo_GetChallenge(ctx, challenge + 8);
    print_hex("challenge:", challenge, 16);
    check("Pyxo_CHAP_MD5 (token, secret file 0x10/3)",
          Pyxo_CHAP_MD5(ctx, KEY_DIR, CHAP_SECRET_FILE, identifier, challenge, 16, on_token));
    CHAP_MD5(identifier, secret, secret_length, challenge, 16, on_host);
    compare(on_token, on_host);
}

static const char *type_name(uint8_t type)
{
    static const char *names[] = {"directory", "directory entry", "data file", "counter file",
                                  "key file"};
    return type < 5 ? names[type] : "unknown";
}

static void list_directory(PYXO_CONTEXT *ctx, uint32_t dir_id)
{
    PYXO_FILEINFO info;
    for (uint32_t index = 0; Pyxo_Dir(ctx, dir_id, index, &info) == PYXO_OK; index++) {
        printf("    dir 0x%-4X #%u  %-16s id 0x%-4X %5u bytes  access %u %u %u\n", (unsigned)dir_id,
               (unsigned)index, type_name(info.type), (unsigned)info.file_id, (unsigned)info.size,
               info.access1, info.access2, info.access3);
        if (dir_id == 0 && info.type == 1)
            list_directory(ctx, info.file_id);
    }
}

int main(void)
{
    PYXO_CONTEXT ctx;
    const uint8_t key[] = "a key of 24 bytes, or so";
    const uint8_t secret[] = "our shared CHAP secret";
    const int key_length = (int)sizeof key - 1;
    const uint32_t secret_length = (uint32_t)sizeof secret - 1;

    memset(&ctx, 0, sizeof ctx);
    open_token(&ctx);
    provision(&ctx, key, key_length, secret, secret_length);
    hmac(&ctx, key, key_length);
    chap(&ctx, secret, secret_length);

    printf("5. The token's directories and files (Pyxo_Dir)\n");
    printf("    access conditions 1, 2, 3 of each entry: 0 always, 1 after the PIN,\n"
           "    2 after the master key, 7 never (a key file: never read, written after\n"
           "    the PIN, hashed with by anyone)\n");
    list_directory(&ctx, 0);
    printf("\n");
    check("Pyxo_CloseDevice", Pyxo_CloseDevice(&ctx));

    printf("\n%s\n", failures == 0 ? "All steps passed: the token and the host agree."
                                   : "Some steps FAILED.");
    return failures == 0 ? 0 : 1;
}
