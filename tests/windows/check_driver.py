#!/usr/bin/env python3
"""Static checks of the virtual token's kernel driver image.

A native-subsystem image (not a DLL) for amd64 with an entry point, no TLS
directory, importing only from ntoskrnl.exe and BCryptGenRandom from
cng.sys: a kernel driver can import from nothing else.  Prints every failed
check and exits with 1 when there is one.
"""
import os
import sys

import pe
from check_dll import Checker

IMAGE_SUBSYSTEM_NATIVE = 1
ALLOWED_DLLS = {"ntoskrnl.exe", "cng.sys"}
CNG_FUNCTIONS = ["BCryptGenRandom"]


def main(path):
    name = os.path.basename(path)
    image = pe.Image(path)
    c = Checker()
    c.expect(image.machine_name == "amd64", f"machine is {image.machine_name}")
    c.expect(image.magic == pe.PE32PLUS_MAGIC, "not PE32+")
    c.expect(not image.characteristics & pe.IMAGE_FILE_DLL, "marked as a DLL")
    c.expect(image.subsystem == IMAGE_SUBSYSTEM_NATIVE, f"subsystem {image.subsystem}, not native")
    c.expect(image.entry_point != 0, "no entry point")
    c.expect(image.directory(pe.DIR_TLS)[0] == 0, "has a TLS directory")
    imports = {dll.lower(): names for dll, names in image.imports().items()}
    c.expect(set(imports) <= ALLOWED_DLLS, f"imports from {sorted(imports)}")
    c.expect("ntoskrnl.exe" in imports, "imports nothing from ntoskrnl.exe")
    c.expect(imports.get("cng.sys", CNG_FUNCTIONS) == CNG_FUNCTIONS,
             f"imports {imports.get('cng.sys')} from cng.sys")
    for f in c.failures:
        print(f"{name}: {f}")
    if c.failures:
        return 1
    print(f"{name}: native amd64 driver image, imports {image.imports()}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
