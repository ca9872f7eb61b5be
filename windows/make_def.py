#!/usr/bin/env python3
"""Writes the module definition files of the DLLs from the built objects.

The link .def exports every function of the public header, under its plain
name.  On 32-bit Windows the functions are
__stdcall, so the objects hold them decorated (_Pyxo_OpenDevice@8); the
link .def aliases the plain name to the decorated one
(Pyxo_OpenDevice = Pyxo_OpenDevice@8), and the import .def lists the
decorated names, from which `dlltool -k` makes an import library that
resolves the header's prototypes to the plain exports.

A function of the header that no object defines is an error.
"""
import argparse
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pyxo_exports import exported_names  # noqa: E402

# One line of `nm --defined-only --extern-only`: address, kind, symbol.
_NM_LINE = re.compile(r"^[0-9a-fA-F]+\s+T\s+_?(\w+?)(@\d+)?$")


def defined_functions(nm, objects):
    """Maps each function the objects define to its decoration ('' or '@N')."""
    out = subprocess.run([nm, "--defined-only", "--extern-only", *objects],
                         check=True, capture_output=True, text=True).stdout
    found = {}
    for line in out.splitlines():
        m = _NM_LINE.match(line.strip())
        if m:
            found[m.group(1)] = m.group(2) or ""
    return found


def write_if_changed(path, text):
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--header", required=True)
    p.add_argument("--nm", required=True)
    p.add_argument("--link-def", required=True)
    p.add_argument("--import-def", required=True)
    p.add_argument("objects", nargs="+")
    args = p.parse_args()

    names = exported_names(args.header)
    defined = defined_functions(args.nm, args.objects)
    missing = [n for n in names if n not in defined]
    if missing:
        sys.exit("make_def: no object defines " + " ".join(missing))

    link = ["EXPORTS"]
    imports = ["EXPORTS"]
    for name in names:
        decorated = name + defined[name]
        link.append(f"    {name}" if name == decorated else f"    {name} = {decorated}")
        imports.append(f"    {decorated}")
    write_if_changed(args.link_def, "\n".join(link) + "\n")
    write_if_changed(args.import_def, "\n".join(imports) + "\n")


if __name__ == "__main__":
    main()
