#!/usr/bin/env python3
"""Checks the include rules of src/ (CONTRIBUTING.md, "Layers"); prints every break and fails on any.

  tools/check-layers.py --src SRC --core FILE... --qt-include-dirs DIR... [--stamp FILE]

1. Folders: a file includes only headers of its own folder and of the folders below
   it (FOLDERS_BELOW); shared/desktop/ is part of shared/. So no arrow points up and
   there is no cycle between folders.
2. The core (the files given with --core, the velantra_core library) includes only
   core headers, and of Qt only the headers of QtCore, QtNetwork and QtCore5Compat.
3. One header per source file: every .cpp but main.cpp has a .h of the same name
   beside it and includes it first.
4. shared/win32/ is Qt-free and includes only itself (and the system's headers), so
   that it compiles with a cross-compiler that has no Qt (tools/check-windows.sh).

--core paths are relative to --src (or absolute); one that names no file there is an
error, so that no working folder can make the core's rules check nothing.
"""

import argparse
import os
import re
import sys

# What each folder may include besides itself; "" is the folder of main.cpp.
FOLDERS_BELOW = {
    "shared": set(),
    "message_log": {"shared"},
    "error_report": {"shared"},
    "connection": {"shared", "message_log"},
    "start_trigger": {"shared", "message_log", "connection"},
    "journal": {"shared"},
    "about": {"shared", "error_report", "message_log", "connection", "start_trigger"},
    "main_window": {"shared", "message_log", "error_report", "connection", "start_trigger", "about", "journal"},
    "": {"main_window"},
}
CORE_QT_MODULES = ("QtCore", "QtNetwork", "QtCore5Compat")
# Folders that may include no Qt header and no header outside themselves.
QT_FREE = ("shared/win32/",)
# Headers made by the build, not by a folder of src/.
GENERATED = {"build_version.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def folder_of(path):
    """The top folder under src/ ("" for src/ itself)."""
    parts = path.split("/")
    return parts[0] if len(parts) > 1 else ""


def qt_header_dirs(include_dirs):
    """The include folders of the Qt modules the core may use."""
    dirs = []
    for base in include_dirs:
        for module in CORE_QT_MODULES:
            candidate = os.path.join(base, module)
            if os.path.isdir(candidate):
                dirs.append(candidate)
    return dirs


def is_qt_header(name):
    return bool(re.match(r"(Q\w+$|Qt\w*/|q\w+\.h$)", name))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--src", required=True)
    parser.add_argument("--core", nargs="+", default=[])
    parser.add_argument("--qt-include-dirs", nargs="+", default=[])
    parser.add_argument("--stamp")
    args = parser.parse_args()
    # A list may also come as one argument of ";"-separated items, as CMake passes it.
    args.core = [item for arg in args.core for item in arg.split(";") if item]
    args.qt_include_dirs = [item for arg in args.qt_include_dirs for item in arg.split(";") if item]

    src = os.path.abspath(args.src)
    files = []
    for root, _, names in os.walk(src):
        for name in names:
            if name.endswith((".cpp", ".h")):
                files.append(os.path.relpath(os.path.join(root, name), src).replace(os.sep, "/"))
    files.sort()
    core = {os.path.relpath(os.path.join(src, f), src).replace(os.sep, "/") for f in args.core}
    unknown = sorted(core - set(files))
    if unknown:
        print(f"check-layers: --core names no file under {src}: {', '.join(unknown)}", file=sys.stderr)
        return 2
    core_qt_dirs = qt_header_dirs(args.qt_include_dirs)
    if args.core and not core_qt_dirs:
        print("check-layers: no QtCore include folder among --qt-include-dirs", file=sys.stderr)
        return 2

    breaks = []
    for path in files:
        with open(os.path.join(src, path), encoding="utf-8") as f:
            text = f.read()
        folder = folder_of(path)
        includes = INCLUDE.findall(text)
        qt_free = path.startswith(QT_FREE)
        for kind, name in includes:
            if qt_free and (is_qt_header(name) if kind == "<" else not name.startswith(QT_FREE)):
                breaks.append(f"{path}: a Qt-free file may not include {kind}{name}{'>' if kind == '<' else kind}")
            if kind == '"':
                if name in GENERATED or name.endswith(".moc"):
                    continue
                if not os.path.isfile(os.path.join(src, name)):
                    breaks.append(f'{path}: "{name}" is not a path under src/')
                    continue
                target = folder_of(name)
                if target != folder and target not in FOLDERS_BELOW.get(folder, set()):
                    breaks.append(f'{path}: {folder or "src"}/ may not include {target}/ ("{name}")')
                if path in core and name not in core:
                    breaks.append(f'{path}: the core may not include "{name}", a header of the window library')
            elif path in core and is_qt_header(name):
                module = name.split("/")[0] if "/" in name else None
                if module is not None:
                    allowed = module in CORE_QT_MODULES
                else:
                    allowed = any(os.path.isfile(os.path.join(d, name)) for d in core_qt_dirs)
                if not allowed:
                    breaks.append(f"{path}: the core may not include <{name}> (only {', '.join(CORE_QT_MODULES)})")
            elif path in core and name.startswith(("X11/", "dbus/")):
                breaks.append(f"{path}: the core may not include <{name}>")

        if path.endswith(".cpp") and path != "main.cpp":
            header = path[:-4] + ".h"
            if header not in files:
                breaks.append(f"{path}: no header {header} beside it")
            elif not includes or includes[0] != ('"', header):
                breaks.append(f'{path}: its first include is not "{header}"')

    for line in breaks:
        print("check-layers: " + line, file=sys.stderr)
    if breaks:
        print(f"check-layers: {len(breaks)} include(s) break the layers (see CONTRIBUTING.md)", file=sys.stderr)
        return 1
    if args.stamp:
        with open(args.stamp, "w", encoding="utf-8") as f:
            f.write("ok\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
