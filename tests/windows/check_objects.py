#!/usr/bin/env python3
"""Checks that no object of a DLL needs code run at load time.

The DLLs link no C runtime, so nothing would run a global constructor or
destructor, nor set up thread-local data: an object with a section of that
kind (.ctors, .dtors, .init_array, .fini_array, .tls, .CRT) would be
silently broken.  Prints each such object and exits with 1.
"""
import sys

import pe

FORBIDDEN = (".ctors", ".dtors", ".init_array", ".fini_array", ".tls", ".CRT")


def forbidden_sections(path):
    return [s for s in pe.object_sections(path)
            if any(s == f or s.startswith(f + ".") or s.startswith(f + "$") for f in FORBIDDEN)]


def main(paths):
    failed = 0
    for path in paths:
        found = forbidden_sections(path)
        if found:
            print(f"{path}: sections run at load time: {found}")
            failed = 1
    if not failed:
        print(f"{len(paths)} objects, none with load-time sections")
    return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
