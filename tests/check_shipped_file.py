#!/usr/bin/env python3
"""Static checks of the shipped plug-in file, read as the Windows loader and
the host would read it: a 32-bit i386 DLL, its exports by name and ordinal,
the DLLs it imports at load time, and its help menu resource.

Usage: check_shipped_file.py PATH [--machine i386|amd64]
Prints one line per check and 'N passed, N failed'; exits 1 on any failure.
"""
import struct
import sys

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


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, rawptr in self.sections:
            if va <= rva < va + size:
                return rva - va + rawptr
        raise ValueError("address 0x%x outside every section" % rva)

    def u16(self, rva):
        return struct.unpack_from("<H", self.data, self.offset(rva))[0]

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def exports(self):
        rva, size = self.directories[0]
        if not rva:
            return {}
        base = self.u32(rva + 16)
        names, ordinals = self.u32(rva + 24), self.u32(rva + 36)
        name_table = self.u32(rva + 32)
        result = {}
        for i in range(names):
            name = self.cstring(self.u32(name_table + 4 * i))
            result[name] = base + self.u16(ordinals + 2 * i)
        return result

    def imports(self):
        rva, _ = self.directories[1]
        result = []
        while rva:
            name = self.u32(rva + 12)
            if name == 0:
                break
            result.append(self.cstring(name))
            rva += 20
        return result

    def resources(self):
        """(type, name, language) -> data bytes, for id-named entries."""
        root, _ = self.directories[2]
        found = {}

        def walk(entry_rva, path):
            named, ids = self.u16(entry_rva + 12), self.u16(entry_rva + 14)
            for i in range(named + ids):
                key, target = struct.unpack_from(
                    "<II", self.data, self.offset(entry_rva + 16 + 8 * i))
                key = key if not key & 0x80000000 else "named"
                if target & 0x80000000:
                    walk(root + (target & 0x7FFFFFFF), path + [key])
                else:
                    data_rva, size = struct.unpack_from(
                        "<II", self.data, self.offset(root + target))
                    start = self.offset(data_rva)
                    found[tuple(path + [key])] = self.data[start:start + size]

        if root:
            walk(root, [])
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


def main(argv):
    path = argv[1]
    machine = argv[argv.index("--machine") + 1] if "--machine" in argv else "i386"
    data = open(path, "rb").read()
    results = []

    def check(what, ok, detail=""):
        results.append(ok)
        print("%s: %s%s" % ("ok" if ok else "FAIL", what, "" if ok else " (%s)" % detail))

    pe = Pe(data)
    if machine == "i386":
        check("PE32 for i386", pe.magic == 0x10B and pe.machine == 0x14C,
              "magic 0x%x machine 0x%x" % (pe.magic, pe.machine))
    else:
        check("PE32+ for x86-64", pe.magic == 0x20B and pe.machine == 0x8664,
              "magic 0x%x machine 0x%x" % (pe.magic, pe.machine))
    check("is a DLL", bool(pe.characteristics & 0x2000), hex(pe.characteristics))

    exports = pe.exports()
    expected = {"GetFilterTable": 1, "luaopen_rivo_grapheditor": 2}
    check("exports GetFilterTable @1 and luaopen_rivo_grapheditor @2 by name",
          exports == expected, exports)

    imports = [name.lower() for name in pe.imports()]
    check("imports system DLLs only", set(imports) <= SYSTEM_DLLS, imports)
    check("does not import lua51.dll", "lua51.dll" not in imports, imports)

    resources = pe.resources()
    menus = {key: value for key, value in resources.items() if key[0] == 4}
    check("one menu resource, 101 in language 1041", list(menus) == [(4, 101, 1041)],
          list(menus))
    if (4, 101, 1041) in menus:
        items = parse_menu(menus[(4, 101, 1041)])
        check("help menu items, identifiers and UTF-16 texts", items == MENU_TEXTS, items)

    failed = results.count(False)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
