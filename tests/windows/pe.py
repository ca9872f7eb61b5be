"""A small reader of Windows PE images and COFF objects.

Reads just what the checks of the built DLLs need: the COFF header, the
sections, the data directories, the export and import tables and the
version resource.  Every structure is read at its documented offsets.
"""
import struct

MACHINES = {0x14C: "i386", 0x8664: "amd64"}

IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
PE32_MAGIC = 0x10B
PE32PLUS_MAGIC = 0x20B

# Data directory indexes.
DIR_EXPORT, DIR_IMPORT, DIR_RESOURCE, DIR_TLS, DIR_DELAY_IMPORT = 0, 1, 2, 9, 13

RT_VERSION = 16
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD


class FormatError(Exception):
    pass


def _u16(data, off):
    return struct.unpack_from("<H", data, off)[0]


def _u32(data, off):
    return struct.unpack_from("<I", data, off)[0]


def _u64(data, off):
    return struct.unpack_from("<Q", data, off)[0]


def _cstring(data, off):
    end = data.index(b"\0", off)
    return data[off:end].decode("ascii")


def _section_table(data, off, count, string_table):
    sections = []
    for i in range(count):
        s = off + 40 * i
        raw_name = data[s:s + 8].rstrip(b"\0").decode("ascii")
        if raw_name.startswith("/") and string_table is not None:
            raw_name = _cstring(data, string_table + int(raw_name[1:]))
        sections.append({
            "name": raw_name,
            "virtual_size": _u32(data, s + 8),
            "virtual_address": _u32(data, s + 12),
            "raw_size": _u32(data, s + 16),
            "raw_offset": _u32(data, s + 20),
        })
    return sections


class Image:
    """A PE image (EXE, DLL or driver)."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise FormatError("no MZ header")
        pe = _u32(d, 0x3C)
        if d[pe:pe + 4] != b"PE\0\0":
            raise FormatError("no PE signature")
        coff = pe + 4
        self.machine = _u16(d, coff)
        section_count = _u16(d, coff + 2)
        optional_size = _u16(d, coff + 16)
        self.characteristics = _u16(d, coff + 18)
        opt = coff + 20
        self.magic = _u16(d, opt)
        if self.magic not in (PE32_MAGIC, PE32PLUS_MAGIC):
            raise FormatError(f"unknown optional header magic {self.magic:#x}")
        wide = self.magic == PE32PLUS_MAGIC
        self.entry_point = _u32(d, opt + 16)
        self.subsystem = _u16(d, opt + 68)
        self.dll_characteristics = _u16(d, opt + 70)
        dir_count = _u32(d, opt + (108 if wide else 92))
        dirs = opt + (112 if wide else 96)
        self.directories = [(_u32(d, dirs + 8 * i), _u32(d, dirs + 8 * i + 4))
                            for i in range(dir_count)]
        self.thunk_size = 8 if wide else 4
        self.sections = _section_table(d, opt + optional_size, section_count, None)

    @property
    def machine_name(self):
        return MACHINES.get(self.machine, f"{self.machine:#x}")

    def directory(self, index):
        if index >= len(self.directories):
            return (0, 0)
        return self.directories[index]

    def offset(self, rva):
        for s in self.sections:
            size = max(s["virtual_size"], s["raw_size"])
            if s["virtual_address"] <= rva < s["virtual_address"] + size:
                return s["raw_offset"] + rva - s["virtual_address"]
        raise FormatError(f"RVA {rva:#x} lies in no section")

    def exports(self):
        """(DLL name, [(name, function RVA)], count of functions)."""
        rva, size = self.directory(DIR_EXPORT)
        if not rva:
            return (None, [], 0)
        d, e = self.data, self.offset(rva)
        dll_name = _cstring(d, self.offset(_u32(d, e + 12)))
        function_count = _u32(d, e + 20)
        name_count = _u32(d, e + 24)
        functions = self.offset(_u32(d, e + 28)) if function_count else 0
        names = self.offset(_u32(d, e + 32)) if name_count else 0
        ordinals = self.offset(_u32(d, e + 36)) if name_count else 0
        result = []
        for i in range(name_count):
            name = _cstring(d, self.offset(_u32(d, names + 4 * i)))
            index = _u16(d, ordinals + 2 * i)
            result.append((name, _u32(d, functions + 4 * index)))
        return (dll_name, result, function_count)

    def export_is_forwarder(self, function_rva):
        rva, size = self.directory(DIR_EXPORT)
        return rva <= function_rva < rva + size

    def imports(self):
        """{DLL name: [function name or '#ordinal']} of the import table."""
        rva, _ = self.directory(DIR_IMPORT)
        result = {}
        if not rva:
            return result
        d, desc = self.data, self.offset(rva)
        while True:
            lookup, name_rva, first_thunk = _u32(d, desc), _u32(d, desc + 12), _u32(d, desc + 16)
            if not (lookup or name_rva or first_thunk):
                return result
            dll = _cstring(d, self.offset(name_rva))
            result[dll] = self._thunk_names(lookup or first_thunk)
            desc += 20

    def _thunk_names(self, rva):
        d, off, names = self.data, self.offset(rva), []
        ordinal_flag = 1 << (self.thunk_size * 8 - 1)
        while True:
            value = _u64(d, off) if self.thunk_size == 8 else _u32(d, off)
            if not value:
                return names
            if value & ordinal_flag:
                names.append(f"#{value & 0xFFFF}")
            else:
                names.append(_cstring(d, self.offset(value & 0x7FFFFFFF) + 2))
            off += self.thunk_size

    def resource(self, type_id, name_id):
        """{language: bytes} of one resource, by numeric type and name."""
        rva, _ = self.directory(DIR_RESOURCE)
        if not rva:
            return {}
        root = self.offset(rva)
        names = self._resource_entries(root, root).get(type_id)
        langs = self._resource_entries(root, names).get(name_id) if names else None
        if langs is None:
            return {}
        result = {}
        for lang, leaf in self._resource_entries(root, langs, leaves=True).items():
            data_rva, size = _u32(self.data, leaf), _u32(self.data, leaf + 4)
            start = self.offset(data_rva)
            result[lang] = self.data[start:start + size]
        return result

    def _resource_entries(self, root, directory, leaves=False):
        d = self.data
        count = _u16(d, directory + 12) + _u16(d, directory + 14)
        entries = {}
        for i in range(count):
            e = directory + 16 + 8 * i
            ident, target = _u32(d, e), _u32(d, e + 4)
            is_directory = bool(target & 0x80000000)
            if is_directory == leaves:
                raise FormatError("resource tree has an unexpected shape")
            entries[ident] = root + (target & 0x7FFFFFFF)
        return entries


class VersionBlock:
    """One node of a VS_VERSIONINFO tree: key, value and children."""

    def __init__(self, data, off):
        self.length = _u16(data, off)
        value_length = _u16(data, off + 2)
        self.is_text = _u16(data, off + 4) == 1
        end = off + 6
        while data[end:end + 2] != b"\0\0":
            end += 2
        self.key = data[off + 6:end].decode("utf-16-le")
        p = _align4(end + 2)
        value_bytes = value_length * 2 if self.is_text else value_length
        self.value = data[p:p + value_bytes]
        p = _align4(p + value_bytes)
        self.children = []
        while p < off + self.length:
            child = VersionBlock(data, p)
            if child.length == 0:
                break
            self.children.append(child)
            p = _align4(p + child.length)

    def text(self):
        return self.value.decode("utf-16-le").rstrip("\0")

    def child(self, key):
        for c in self.children:
            if c.key == key:
                return c
        return None


def _align4(n):
    return (n + 3) & ~3


def parse_version_info(data):
    """(fixed file info as a dict, {table key: {name: text}}, translations)."""
    root = VersionBlock(data, 0)
    if root.key != "VS_VERSION_INFO" or len(root.value) < 52:
        raise FormatError("not a VS_VERSIONINFO resource")
    fields = struct.unpack_from("<13I", root.value, 0)
    fixed = dict(zip(("signature", "struct_version", "file_ms", "file_ls", "product_ms",
                      "product_ls", "flags_mask", "flags", "os", "type", "subtype",
                      "date_ms", "date_ls"), fields))
    tables, translations = {}, []
    strings = root.child("StringFileInfo")
    for table in strings.children if strings else []:
        tables[table.key] = {s.key: s.text() for s in table.children}
    var = root.child("VarFileInfo")
    translation = var.child("Translation") if var else None
    if translation:
        for i in range(0, len(translation.value), 4):
            translations.append(struct.unpack_from("<HH", translation.value, i))
    return fixed, tables, translations


def object_sections(path):
    """Section names of a COFF object file."""
    with open(path, "rb") as f:
        d = f.read()
    if _u16(d, 0) not in MACHINES:
        raise FormatError(f"{path}: not a COFF object of a known machine")
    count, symbols, symbol_count = _u16(d, 2), _u32(d, 8), _u32(d, 12)
    string_table = symbols + 18 * symbol_count if symbols else None
    return [s["name"] for s in _section_table(d, 20 + _u16(d, 16), count, string_table)]
