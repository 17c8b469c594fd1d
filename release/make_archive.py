#!/usr/bin/env python3
"""Writes the release archive rivo_grapheditor-<version>.zip.

Usage: make_archive.py PLUGIN OUT_DIR EPOCH

PLUGIN is the built rivo_grapheditor.auf, EPOCH the time (seconds since
1970, UTC) that every entry carries. The version comes from the file VERSION
at the top of the sources. Prints the archive's path.

The archive unpacks into the host's plug-in folder, so every file sits at its
top and its name starts with the plug-in's, next to other plug-ins' files.
Text files are for Windows' Notepad: CRLF line ends, and the read-me, which
holds Japanese, is UTF-8 with a byte order mark.

Same inputs, same bytes: a fixed order, one fixed time, fixed attributes and
compression, no extra fields.
"""
import hashlib
import os
import sys
import time
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PLUGIN = "rivo_grapheditor.auf"
README = "rivo_grapheditor_readme.txt"
EXAMPLE = "rivo_grapheditor_getvalue.lua"
LICENSE = "rivo_grapheditor_license.txt"
SUMS = "rivo_grapheditor_sha256.txt"


def source_text(name):
    with open(os.path.join(SOURCE, name), encoding="utf-8", newline="") as file:
        text = file.read()
    if "\r" in text:
        raise ValueError("%s: expected LF line ends in the sources" % name)
    return text


def crlf(text):
    return text.replace("\n", "\r\n")


def version():
    return source_text("VERSION").strip()


def contents(plugin_path):
    """(name, bytes) for every file, in the archive's order."""
    ver = version()
    example = source_text("examples/getvalue.lua")
    indented = "\n".join(("    " + line).rstrip() for line in example.rstrip("\n").split("\n"))
    readme = source_text("release/readme.txt").replace("@VERSION@", ver).replace("@EXAMPLE@", indented)
    with open(plugin_path, "rb") as file:
        plugin = file.read()
    files = [
        (PLUGIN, plugin),
        (README, b"\xef\xbb\xbf" + crlf(readme).encode("utf-8")),
        (EXAMPLE, crlf(example).encode("ascii")),
        (LICENSE, crlf(source_text("LICENSE")).encode("ascii")),
    ]
    # The format sha256sum -c reads (it takes CRLF too).
    sums = "".join("%s  %s\r\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in files)
    files.append((SUMS, sums.encode("ascii")))
    return files


def main(argv):
    plugin_path, out_dir, epoch = argv[1], argv[2], int(argv[3])
    # Zip times have no zone and 2-second steps; from 1980 on.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    os.makedirs(out_dir, exist_ok=True)
    path = os.path.join(out_dir, "rivo_grapheditor-%s.zip" % version())
    temporary = path + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name, data in contents(plugin_path):
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS: no Unix owner or mode bits
            entry.external_attr = 0x20  # "archive", as Windows' own zipper sets it
            archive.writestr(entry, data, compresslevel=9)
    os.replace(temporary, path)
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
