#!/usr/bin/python3
"""Static checks of the shipped plug-in file, read as the Windows loader and
the host would read it: a 32-bit i386 DLL, its exports by name and ordinal,
the DLLs it imports at load time, its help menu resource, its size, and no
debug information inside (only the link to the separate debug file).

Usage: check_shipped_file.py PATH [--machine i386|amd64]
PATH is the plug-in file or a release archive (.zip) holding it.
Prints one line per check and 'N passed, N failed'; exits 1 on any failure.

The PE format is read by pefile (Debian's python3-pefile, installed for
/usr/bin/python3).
"""
import struct
import sys
import zipfile

import pefile

PLUGIN_NAME = "rivo_grapheditor.auf"
MAX_SIZE = 64 * 1024
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}

MENU_TEXTS = [
    # (flags kind, identifier, text); None identifier marks a separator
    ("popup", None, "操作方法"),
    ("item", 40005, "ポイントの移動\t左クリック"),
    ("item", 40004, "ポイントの追加/削除\tCtrl+左クリック"),
    ("separator", 0, ""),
    ("item", 40007, "前のグラフを表示\t←"),
    ("item", 40008, "次のグラフを表示\t→"),
    ("separator", 0, ""),
    ("item", 40009, "グラフを初期化\tDelete"),
]


def section_names(pe):
    """Section names, long ones ("/4": an offset into the COFF string
    table, which follows the symbol table) resolved as the toolchain
    writes them."""
    header = pe.FILE_HEADER
    strings = header.PointerToSymbolTable + 18 * header.NumberOfSymbols
    names = []
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode("ascii", "replace")
        if name.startswith("/") and name[1:].isdigit() and header.PointerToSymbolTable:
            start = strings + int(name[1:])
            name = pe.__data__[start:pe.__data__.index(b"\0", start)].decode("ascii", "replace")
        names.append(name)
    return names


def resources(pe):
    """(type, name, language) -> data bytes, for id-named entries."""
    found = {}

    def walk(directory, path):
        for entry in directory.entries:
            key = entry.id if entry.name is None else "named"
            if hasattr(entry, "directory"):
                walk(entry.directory, path + [key])
            else:
                found[tuple(path + [key])] = pe.get_data(entry.data.struct.OffsetToData,
                                                         entry.data.struct.Size)

    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        walk(pe.DIRECTORY_ENTRY_RESOURCE, [])
    return found


def parse_menu(data):
    """A classic MENU resource: header, then items; yields (kind, id, text)."""
    version, header = struct.unpack_from("<HH", data, 0)
    if version != 0:
        raise ValueError("menu version %d" % version)
    pos = 4 + header
    items = []
    depth = 1
    while depth and pos < len(data):
        flags = struct.unpack_from("<H", data, pos)[0]
        pos += 2
        if flags & 0x10:  # MF_POPUP: no identifier
            ident = None
        else:
            ident = struct.unpack_from("<H", data, pos)[0]
            pos += 2
        end = pos
        while data[end:end + 2] != b"\0\0":
            end += 2
        text = data[pos:end].decode("utf-16-le")
        pos = end + 2
        kind = "popup" if flags & 0x10 else ("separator" if not text and not ident else "item")
        items.append((kind, ident, text))
        if flags & 0x10:
            depth += 1
        if flags & 0x80:  # MF_END closes the current level
            depth -= 1
    return items


def read_plugin(path):
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            return archive.read(PLUGIN_NAME)
    with open(path, "rb") as file:
        return file.read()


def main(argv):
    path = argv[1]
    machine = argv[argv.index("--machine") + 1] if "--machine" in argv else "i386"
    data = read_plugin(path)
    results = []

    def check(what, ok, detail=""):
        results.append(ok)
        print("%s: %s%s" % ("ok" if ok else "FAIL", what, "" if ok else " (%s)" % detail))

    pe = pefile.PE(data=data, fast_load=False)
    magic, kind = pe.OPTIONAL_HEADER.Magic, pe.FILE_HEADER.Machine
    if machine == "i386":
        check("PE32 for i386", magic == 0x10B and kind == 0x14C,
              "magic 0x%x machine 0x%x" % (magic, kind))
    else:
        check("PE32+ for x86-64", magic == 0x20B and kind == 0x8664,
              "magic 0x%x machine 0x%x" % (magic, kind))
    check("is a DLL", pe.is_dll(), hex(pe.FILE_HEADER.Characteristics))

    exports = {}
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        exports = {symbol.name.decode("ascii") if symbol.name else None: symbol.ordinal
                   for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols}
    expected = {"GetFilterTable": 1, "luaopen_rivo_grapheditor": 2}
    check("exports GetFilterTable @1 and luaopen_rivo_grapheditor @2 by name",
          exports == expected, exports)

    imports = [entry.dll.decode("ascii").lower()
               for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    delayed = [entry.dll.decode("ascii").lower()
               for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    check("imports system DLLs only", set(imports + delayed) <= SYSTEM_DLLS, imports + delayed)
    check("does not import lua51.dll", "lua51.dll" not in imports + delayed, imports + delayed)

    found = resources(pe)
    menus = {key: value for key, value in found.items() if key[0] == 4}
    check("one menu resource, 101 in language 1041", list(menus) == [(4, 101, 1041)],
          list(menus))
    if (4, 101, 1041) in menus:
        items = parse_menu(menus[(4, 101, 1041)])
        check("help menu items, identifiers and UTF-16 texts", items == MENU_TEXTS, items)

    check("at most 64 KB", len(data) <= MAX_SIZE, "%d bytes" % len(data))
    names = section_names(pe)
    check("no debug sections", not [n for n in names if n.startswith((".debug", ".zdebug"))], names)
    check("no symbol table", pe.FILE_HEADER.NumberOfSymbols == 0,
          "%d symbols" % pe.FILE_HEADER.NumberOfSymbols)
    check("no debug directory", not hasattr(pe, "DIRECTORY_ENTRY_DEBUG"), "present")
    link = [s.get_data() for s, n in zip(pe.sections, names) if n == ".gnu_debuglink"]
    linked = link[0].split(b"\0", 1)[0] if link else b""
    check("names its debug file rivo_grapheditor.auf.debug (.gnu_debuglink)",
          linked == b"rivo_grapheditor.auf.debug", linked)

    failed = results.count(False)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
