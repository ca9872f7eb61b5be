#!/usr/bin/env python3
"""Checks what a program built against the public header imports from a DLL.

  check_caller.py --header pyxo.h PROGRAM.exe DLLNAME

The program (header_caller.c) takes the address of every function of the
header; its import table must name each of them, by its plain name, from
DLLNAME: the DLL's import library resolved the header's declarations.
"""
import argparse
import os
import sys

import pe

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "windows"))
from pyxo_exports import exported_names  # noqa: E402


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--header", required=True)
    p.add_argument("program")
    p.add_argument("dll")
    args = p.parse_args()

    imports = {dll.lower(): names for dll, names in pe.Image(args.program).imports().items()}
    found = sorted(imports.get(args.dll.lower(), []))
    expected = sorted(exported_names(args.header))
    if found != expected:
        print(f"{args.program} imports from {args.dll}:")
        print(f"  missing: {sorted(set(expected) - set(found))}")
        print(f"  unexpected: {sorted(set(found) - set(expected))}")
        return 1
    print(f"{os.path.basename(args.program)}: all {len(found)} functions from {args.dll} "
          "by plain name")
    return 0


if __name__ == "__main__":
    sys.exit(main())
