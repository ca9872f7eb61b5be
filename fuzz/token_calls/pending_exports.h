// Exports of subsystems that join the library later are referenced
// weakly, so that the target links before they arrive; an operation whose
// function is missing does nothing.
#ifndef VUXA_FUZZ_PENDING_EXPORTS_H
#define VUXA_FUZZ_PENDING_EXPORTS_H

#include "pyxo.h"

#pragma weak Pyxo_Dir
#pragma weak Pyxo_SelectFile
#pragma weak Pyxo_CloseFile
#pragma weak Pyxo_ReadFile
#pragma weak Pyxo_WriteFile
#pragma weak Pyxo_Decrement
#pragma weak Pyxo_CreateDir
#pragma weak Pyxo_CreateFile
#pragma weak Pyxo_DeleteDir
#pragma weak Pyxo_DeleteFile
#pragma weak Pyxo_DeleteAllFiles
#pragma weak Pyxo_VerifyPIN
#pragma weak Pyxo_VerifyMasterKey
#pragma weak Pyxo_GetChallenge
#pragma weak Pyxo_GetAccessSettings
#pragma weak Pyxo_SetAccessSettings
#pragma weak Pyxo_ModifyPIN
#pragma weak Pyxo_ModifyMasterKey
#pragma weak Pyxo_HashToken
#pragma weak Pyxo_HMAC_MD5
#pragma weak Pyxo_CHAP_MD5

#endif
