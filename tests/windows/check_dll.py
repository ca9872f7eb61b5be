#!/usr/bin/env python3
"""Static checks of one built library DLL.

  - a DLL for the expected machine, with an entry point;
  - imports from KERNEL32.dll only, only the allowed functions and at least
    the required ones; no delay-load imports, no TLS directory (no code
    runs at load but the entry point);
  - exports exactly the public header's functions by their plain names, no
    forwarders, no ordinal-only exports;
  - carries the version resource: US English, Unicode (040904B0), version
    1.1.1.0, "1.01.1", its own file name as InternalName and
    OriginalFilename.

Prints every failed check and exits with 1 when there is one.
"""
import argparse
import os
import sys

import pe

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "windows"))
from pyxo_exports import exported_names  # noqa: E402

VERSION_MS, VERSION_LS = 0x00010001, 0x00010000  # 1.1.1.0
VERSION_TEXT = "1.01.1"
LANG_EN_US, CODEPAGE_UNICODE = 0x0409, 1200
STRING_TABLE = "040904B0"
VFT_DLL = 2


class Checker:
    def __init__(self):
        self.failures = []

    def expect(self, condition, what):
        if not condition:
            self.failures.append(what)


def check_kind(c, image, machine):
    c.expect(image.machine_name == machine, f"machine is {image.machine_name}, not {machine}")
    c.expect(image.characteristics & pe.IMAGE_FILE_DLL, "not marked as a DLL")
    c.expect(image.characteristics & pe.IMAGE_FILE_EXECUTABLE_IMAGE, "not an executable image")
    magic = pe.PE32PLUS_MAGIC if machine == "amd64" else pe.PE32_MAGIC
    c.expect(image.magic == magic, f"optional header magic {image.magic:#x}, not {magic:#x}")
    c.expect(image.entry_point != 0, "no entry point")


def check_imports(c, image, allowed, required):
    imports = image.imports()
    dlls = sorted(imports)
    c.expect(all(d.lower() == "kernel32.dll" for d in dlls),
             f"imports from {dlls}, not from KERNEL32.dll only")
    functions = set(f for names in imports.values() for f in names)
    extra = sorted(functions - set(allowed))
    c.expect(not extra, f"imports functions not allowed: {extra}")
    absent = sorted(set(required) - functions)
    c.expect(not absent, f"does not import {absent}")
    c.expect(image.directory(pe.DIR_DELAY_IMPORT)[0] == 0, "has delay-load imports")
    c.expect(image.directory(pe.DIR_TLS)[0] == 0, "has a TLS directory")


def check_exports(c, image, file_name, header_names):
    dll_name, exports, function_count = image.exports()
    names = [n for n, _ in exports]
    c.expect(dll_name == file_name, f"export table names the DLL {dll_name}")
    c.expect(len(names) == len(set(names)), "an export name appears twice")
    c.expect(function_count == len(names), f"{function_count} functions for {len(names)} names")
    unknown = sorted(set(names) - set(header_names))
    c.expect(not unknown, f"exports names the header does not declare: {unknown}")
    forwarded = sorted(n for n, rva in exports if image.export_is_forwarder(rva))
    c.expect(not forwarded, f"forwarded exports: {forwarded}")
    missing = [n for n in header_names if n not in names]
    c.expect(not missing, f"does not export {missing}")


def check_version(c, image, file_name):
    found = image.resource(pe.RT_VERSION, 1)
    c.expect(list(found) == [LANG_EN_US], f"version resource languages {list(found)}, not 0x409")
    if LANG_EN_US not in found:
        return
    fixed, tables, translations = pe.parse_version_info(found[LANG_EN_US])
    c.expect(fixed["signature"] == pe.VS_FIXEDFILEINFO_SIGNATURE, "bad VS_FIXEDFILEINFO signature")
    c.expect((fixed["file_ms"], fixed["file_ls"]) == (VERSION_MS, VERSION_LS),
             "FILEVERSION is not 1,1,1,0")
    c.expect((fixed["product_ms"], fixed["product_ls"]) == (VERSION_MS, VERSION_LS),
             "PRODUCTVERSION is not 1,1,1,0")
    c.expect(fixed["type"] == VFT_DLL, "file type is not VFT_DLL")
    c.expect(list(tables) == [STRING_TABLE], f"string tables {list(tables)}, not {STRING_TABLE}")
    c.expect(translations == [(LANG_EN_US, CODEPAGE_UNICODE)], f"translations {translations}")
    strings = tables.get(STRING_TABLE, {})
    for key, value in (("FileVersion", VERSION_TEXT), ("ProductVersion", VERSION_TEXT),
                       ("InternalName", file_name), ("OriginalFilename", file_name)):
        c.expect(strings.get(key) == value, f'"{key}" is {strings.get(key)!r}, not {value!r}')


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--header", required=True)
    p.add_argument("--machine", required=True, choices=sorted(pe.MACHINES.values()))
    p.add_argument("--allow-import", action="append", default=[])
    p.add_argument("--require-import", action="append", default=[])
    p.add_argument("dll")
    args = p.parse_args()

    file_name = os.path.basename(args.dll)
    image = pe.Image(args.dll)
    c = Checker()
    check_kind(c, image, args.machine)
    check_imports(c, image, args.allow_import + args.require_import, args.require_import)
    check_exports(c, image, file_name, exported_names(args.header))
    check_version(c, image, file_name)
    for f in c.failures:
        print(f"{file_name}: {f}")
    if c.failures:
        return 1
    print(f"{file_name}: {image.machine_name} DLL, imports {image.imports()}, "
          f"{len(image.exports()[1])} exports, version resource as required")
    return 0


if __name__ == "__main__":
    sys.exit(main())
