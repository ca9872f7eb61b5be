"""The library's exported functions, read from the public header.

Every exported function is declared there as
    PYXO_API <return type> PYXO_CALL <name>(...);
so the header is the one list of exports that the module definition files
and the checks of the built DLLs both use.
"""
import re

_DECLARATION = re.compile(r"\bPYXO_API\b[^;()]*?\bPYXO_CALL\s+(\w+)\s*\(")


def exported_names(header_path):
    """The exported function names in the order the header declares them."""
    with open(header_path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    return _DECLARATION.findall(text)
