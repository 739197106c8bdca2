#!/usr/bin/env python3
"""Checks the include rules of src/ (CONTRIBUTING.md, "Layers"); prints every break and fails on any.

  tools/check-layers.py --src SRC --qt-include-dirs DIR... [--stamp FILE]

The folders say it all; there is no list to keep:
1. Libraries: core/ is velantra_core, desktop/ the window library. A core file includes
   only core headers and, of Qt, only the headers of QtCore and QtNetwork
   (no widget, gui, printing, multimedia, D-Bus or X11 header). desktop/ may include core/.
2. Subsystems: inside a library a file includes only headers of its own subsystem
   (core/connection/, desktop/main_window/, ...) and of the subsystems below it
   (SUBSYSTEMS_BELOW). So no arrow points up and there is no cycle between folders.
   platform/<system>/ is the lowest: one system's own calls, chosen by the facilities
   in shared/ (a desktop platform file may implement a core interface).
3. One header per source file: every .cpp but main.cpp has a .h of the same name
   beside it and includes it first. A system's file in platform/<system>/ may instead
   implement the interface of its name in platform/ (the seam: one header, a folder
   per system), and includes that first.
4. core/platform/ is Qt-free and includes only its own headers and the system's, so
   that the Win32 side compiles with a cross-compiler that has no Qt
   (tools/check-windows.sh). No platform/<system>/ file includes another system's.
"""

import argparse
import os
import re
import sys

# What each subsystem may include besides itself, within its library and below it in
# core/ (desktop/ may also include any of core/). "" is the folder of main.cpp.
SUBSYSTEMS_BELOW = {
    "platform": set(),
    "shared": {"platform"},
    "message_log": {"shared", "platform"},
    "error_report": {"shared", "platform"},
    "journal": {"shared", "platform"},
    "connection": {"shared", "platform", "message_log"},
    "start_trigger": {"shared", "platform", "message_log", "connection"},
    "about": {"shared", "platform", "error_report", "message_log", "connection", "start_trigger"},
    "main_window": {"shared", "platform", "message_log", "error_report", "journal", "connection",
                    "start_trigger", "about"},
}
LIBRARIES = ("core", "desktop")
CORE_QT_MODULES = ("QtCore", "QtNetwork")
# Folders that may include no Qt header and no header outside themselves.
QT_FREE = ("core/platform/",)
# Headers made by the build, not by a folder of src/.
GENERATED = {"build_version.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def place_of(path):
    """(library, subsystem) of a path under src/; ("", "") for main.cpp, None outside both trees."""
    parts = path.split("/")
    if len(parts) == 1:
        return ("", "")
    if parts[0] not in LIBRARIES or len(parts) < 3:
        return None
    return (parts[0], parts[1])


def System_of(path):
    """The system of a file in platform/<system>/ of either library; None elsewhere."""
    parts = path.split("/")
    return parts[2] if len(parts) > 3 and parts[1] == "platform" else None


def Interface_of(path):
    """platform/X.h for platform/<system>/X.cpp: the seam's interface it implements."""
    parts = path.split("/")
    if System_of(path) is None:
        return None
    return "/".join(parts[:2] + [parts[-1][:-4] + ".h"])


def may_include(source, target):
    """Whether a file at place source may include a header at place target."""
    (lib, sub), (tlib, tsub) = source, target
    if lib == "":
        return tlib == "desktop" and tsub == "main_window"
    if lib == "core" and tlib != "core":
        return False
    if tsub == sub and tlib == lib:
        return True
    if lib == "desktop" and tlib == "core":
        return True
    return tsub in SUBSYSTEMS_BELOW.get(sub, set())


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
    parser.add_argument("--qt-include-dirs", nargs="+", default=[])
    parser.add_argument("--stamp")
    args = parser.parse_args()
    # A list may also come as one argument of ";"-separated items, as CMake passes it.
    args.qt_include_dirs = [item for arg in args.qt_include_dirs for item in arg.split(";") if item]

    src = os.path.abspath(args.src)
    files = []
    for root, _, names in os.walk(src):
        for name in names:
            if name.endswith((".cpp", ".h")):
                files.append(os.path.relpath(os.path.join(root, name), src).replace(os.sep, "/"))
    files.sort()
    core = {f for f in files if f.startswith("core/")}
    if not core:
        print(f"check-layers: no core/ folder under {src}", file=sys.stderr)
        return 2
    core_qt_dirs = qt_header_dirs(args.qt_include_dirs)
    if not core_qt_dirs:
        print("check-layers: no QtCore include folder among --qt-include-dirs", file=sys.stderr)
        return 2

    breaks = []
    for path in files:
        with open(os.path.join(src, path), encoding="utf-8") as f:
            text = f.read()
        place = place_of(path)
        if place is None:
            breaks.append(f"{path}: not in core/<subsystem>/ or desktop/<subsystem>/")
            continue
        if place[1] not in SUBSYSTEMS_BELOW and place != ("", ""):
            breaks.append(f"{path}: {place[1]}/ is no subsystem the layer check knows (SUBSYSTEMS_BELOW)")
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
                target = place_of(name)
                if target is None or not may_include(place, target):
                    where = "/".join(p for p in place if p) or "src"
                    breaks.append(f'{path}: {where}/ may not include "{name}"')
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

        system = System_of(path)
        for kind, name in includes:
            if kind == '"' and System_of(name) not in (None, system):
                breaks.append(f'{path}: a file of platform/{system}/ may not include "{name}"')

        if path.endswith(".cpp") and path != "main.cpp":
            header = path[:-4] + ".h"
            interface = Interface_of(path)
            if interface in files and includes and includes[0] == ('"', interface):
                pass
            elif header not in files:
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
