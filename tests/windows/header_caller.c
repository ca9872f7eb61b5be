/*
 * A caller written against the public header alone, linked with a DLL's
 * import library.  On 32-bit Windows the header's __stdcall prototypes make
 * the compiler ask for decorated names (_Pyxo_OpenDevice@8); the import
 * library made by dlltool -k must resolve each of them to the DLL's plain
 * export.  check_caller.py reads the program's import table.
 */
#include "pyxo.h"

static void *const functions[] = {
    (void *)Pyxo_OpenDevice,      (void *)Pyxo_CloseDevice,     (void *)Pyxo_Diagnose,
    (void *)Pyxo_ResetDevice,     (void *)Pyxo_GetResponse,     (void *)Pyxo_GetSerialNumber,
    (void *)Pyxo_LedControl,      (void *)Pyxo_Dir,             (void *)Pyxo_SelectFile,
    (void *)Pyxo_CloseFile,       (void *)Pyxo_ReadFile,        (void *)Pyxo_WriteFile,
    (void *)Pyxo_Decrement,       (void *)Pyxo_CreateDir,       (void *)Pyxo_CreateFile,
    (void *)Pyxo_DeleteDir,       (void *)Pyxo_DeleteFile,      (void *)Pyxo_DeleteAllFiles,
    (void *)Pyxo_VerifyPIN,       (void *)Pyxo_VerifyMasterKey, (void *)Pyxo_GetChallenge,
    (void *)Pyxo_GetAccessSettings, (void *)Pyxo_SetAccessSettings, (void *)Pyxo_ModifyPIN,
    (void *)Pyxo_ModifyMasterKey, (void *)Pyxo_HashToken,       (void *)Pyxo_HMAC_MD5,
    (void *)Pyxo_CHAP_MD5,        (void *)MD5Init,              (void *)MD5Update,
    (void *)MD5Final,             (void *)MD5_Hash,             (void *)HMAC_MD5,
    (void *)CHAP_MD5,
};

int main(void)
{
    int missing = 0;
    for (unsigned i = 0; i < sizeof functions / sizeof functions[0]; i++)
        missing += functions[i] == 0;
    return missing;
}
