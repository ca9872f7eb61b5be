// The access byte: how a file entry carries two of its three access
// conditions on the token.  Bits 2-0 hold access2; bits 5-3 hold access1
// for types 2 and 3 and access3 for type 4; bits 7-6 are not used.
#ifndef VUXA_FS_ACCESS_BYTE_H
#define VUXA_FS_ACCESS_BYTE_H

#include <stdint.h>

#include "pyxo.h"

// The access byte of a record of type 2, 3 or 4 whose conditions are at
// most 7.  access1 of type 4 is not carried.
uint8_t pyxo_pack_access(const PYXO_FILEINFO *info);

// Sets the three conditions of a record of type 2, 3 or 4 from an access
// byte; the condition its type does not carry reads as the token's
// convention has it (access3 0 for types 2 and 3, access1 7 for type 4).
void pyxo_unpack_access(uint8_t access_byte, PYXO_FILEINFO *info);

#endif
