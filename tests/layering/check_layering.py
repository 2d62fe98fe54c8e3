#!/usr/bin/env python3
"""Checks that every folder of the tree includes only what its layer may use.

Each C++ source and header below the root belongs to the first layer of LAYERS whose
paths match it. Every `#include "..."` must name a file of a layer that the file's layer
may use, and every Qt header (`#include <QString>`, `<QtCore/QString>`, `<QtWidgets>`)
must come from a Qt module the layer may use. Each breach is printed as
`path:line: what is wrong`; the exit status is 0 when there is none, 1 otherwise.

Run alone from the top of the repository:
    python3 tests/layering/check_layering.py [--root DIR] [--qt-headers DIR]
--qt-headers is Qt's include folder (the one holding QtCore/); without it the folder is
asked of qtpaths6 or qmake6. It is needed to tell which module a bare <QName> is from.
"""

import argparse
import fnmatch
import os
import re
import shutil
import subprocess
import sys
from dataclasses import dataclass

ANY = "*"  # as `uses` or `qt`: no restriction


@dataclass(frozen=True)
class Layer:
    name: str
    paths: tuple  # fnmatch patterns on the path from the root; `*` also matches "/"
    uses: object  # names of the layers whose files it may include, or ANY
    qt: object = ()  # Qt modules it may include (without the "Qt" prefix), or ANY


# Groups the table below refers to.
PLATFORM_GLUE = ("platform", "platform glue")  # what components may use of platform
PLATFORM_ALL = PLATFORM_GLUE + ("platform help",)
FAX_DOCUMENT_ALL = ("fax_document", "fax_document export", "fax_document components", "fax_document imports",
                    "fax_document ui")
SERIAL_ALL = ("serial errors", "serial", "serial comport")
FAX_ENGINE_ALL = ("fax_engine", "fax_engine components")
# Everything below the application: what app, picker and tools build on.
BELOW_APP = PLATFORM_ALL + ("table_engine",) + SERIAL_ALL + FAX_DOCUMENT_ALL + FAX_ENGINE_ALL
# The parts of app that qlpick and qlfax share with the fax desk.
APP_SHARED = ("app data", "app shared")
# Cover sheets as files and as drawn pages: the fax desk, the template generator and qlfax.
APP_COVERS = ("app cover files", "app cover pages")
WINDOW_QT = ("Core", "Gui", "Widgets", "PrintSupport", "Network")

# The layers, most specific paths first: a file belongs to the first layer that matches.
LAYERS = (
    # Tests, benchmarks, fuzz targets and the helpers only tests link drive any part.
    Layer("test support", ("tests/*", "*/tests/*", "*/testing/*", "bench/*", "*/fuzz/*"), ANY, ANY),
    # platform: the bottom layer. Its Qt glue puts message windows on Qt's event loop and
    # keeps one instance per data folder (QtNetwork's local sockets) and plays sounds.
    Layer("platform glue", ("platform/message_windows/qt_*", "platform/single_instance/*", "platform/sound/*"),
          PLATFORM_GLUE, ("Core", "Network", "Multimedia")),
    # The help window is a window: QtWidgets.
    Layer("platform help", ("platform/help/*",), PLATFORM_ALL, ("Core", "Gui", "Widgets")),
    # The rest of platform uses only itself and no Qt: every layer above may build on it.
    Layer("platform", ("platform/*",), ("platform",)),
    # The table engine: DBF, CDX and expressions on platform alone.
    Layer("table_engine", ("table_engine/*",), ("table_engine", "platform")),
    # The error codes and their texts, shared by every layer above platform.
    Layer("serial errors", ("serial/errors/*",), ("serial errors", "platform")),
    # The comm port component: the serial core behind an object with events (QtCore).
    Layer("serial comport", ("serial/comport/*",), SERIAL_ALL + PLATFORM_GLUE, ("Core",)),
    # The serial core: device layer, dispatcher, triggers, tracing; no Qt, no component.
    Layer("serial", ("serial/*",), ("serial", "serial errors", "platform")),
    # Fax document windows (viewer, printer, view window) use all of fax_document and Qt.
    Layer("fax_document ui", ("fax_document/ui/*",),
          FAX_DOCUMENT_ALL + ("serial errors",) + PLATFORM_ALL, ("Core", "Gui", "Widgets", "PrintSupport")),
    # Fax document components (converter and unpacker objects with events): QtCore.
    Layer("fax_document components", ("fax_document/components/*",),
          ("fax_document", "fax_document export", "fax_document components", "serial errors") + PLATFORM_GLUE,
          ("Core",)),
    # Documents of every kind in: the converter and its component, Ghostscript, libtiff and
    # Qt's image readers (QtGui, never widgets).
    Layer("fax_document imports", ("fax_document/imports/*",),
          ("fax_document", "fax_document components", "fax_document imports", "serial errors") + PLATFORM_GLUE,
          ("Core", "Gui")),
    # Export to image files: the core plus libpng, no Qt.
    Layer("fax_document export", ("fax_document/export/*",),
          ("fax_document", "fax_document export", "serial errors", "platform")),
    # The independent codec and sample rasters that tests and benchmarks compare with.
    Layer("fax_document reference", ("fax_document/reference/*",),
          ("fax_document", "fax_document reference", "serial errors", "platform")),
    # The fax document core (T.4 code, APF file, converter, sources, unpacker), in the
    # flat folder or in its sub-folders: no Qt, no components or windows.
    Layer("fax_document", ("fax_document/*",), ("fax_document", "serial errors", "platform")),
    # Fax engine components (send and receive objects with events, fax log): QtCore and
    # the components below them.
    Layer("fax_engine components", ("fax_engine/components/*",),
          FAX_ENGINE_ALL + ("fax_document", "fax_document export", "fax_document components") + SERIAL_ALL
          + PLATFORM_GLUE, ("Core",)),
    # The fax engine core (sessions, frames, state machines) works on the serial core and
    # fax documents; no Qt, no components.
    Layer("fax_engine", ("fax_engine/*",), ("fax_engine", "fax_document", "serial", "serial errors", "platform")),
    # Settings and the fax store: shared with qlfax, which has no Qt.
    Layer("app data", ("app/settings/*", "app/fax_store/*"), ("app data",) + BELOW_APP),
    # The widgets qlpick shares with the fax desk: dialogs, list models, the phone book.
    Layer("app shared", ("app/ui/*", "app/lists/*", "app/phonebook/*"), APP_SHARED + BELOW_APP, WINDOW_QT),
    # The fax desk's windows (main window, preferences, ...): nothing outside app uses them.
    # Cover templates and descriptions: no Qt. Drawing them on a page and the shipped
    # templates (resources): QtGui and QtCore, never widgets.
    Layer("app cover files", ("app/covers/format/*",), ("app cover files", "app data") + BELOW_APP),
    Layer("app cover pages", ("app/covers/drawing/*", "app/covers/shipped/*"),
          APP_COVERS + ("app data",) + BELOW_APP, ("Core", "Gui")),
    # The printer-driver hand-over files and the pickup: no Qt, shared by the desk and ql-print.
    Layer("app pickup", ("app/pickup/*",), ("app pickup", "app data") + BELOW_APP),
    Layer("app windows", ("app/*",), ("app windows", "app pickup") + APP_SHARED + APP_COVERS + BELOW_APP, WINDOW_QT),
    # The driver dialog's local socket: spoken by qlpick and served by ql-print's dialog.
    Layer("picker handover", ("picker/driver_handover.*",), ("picker handover",) + PLATFORM_GLUE,
          ("Core", "Network", "Widgets")),
    # qlpick: the shared parts of app, never its windows.
    Layer("picker", ("picker/*",), ("picker", "picker handover") + APP_SHARED + BELOW_APP, WINDOW_QT),
    # qlfax, qlvmodem, ql-print and the generators: the same, and ql-print the driver's side
    # of the hand-over.
    Layer("tools", ("tools/*",), ("tools", "app pickup", "picker handover") + APP_SHARED + APP_COVERS + BELOW_APP,
          WINDOW_QT),
)

SOURCE_SUFFIXES = (".h", ".hpp", ".hh", ".cpp", ".cc", ".cxx", ".c", ".inc", ".ipp")
QUOTED_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
ANGLE_INCLUDE = re.compile(r"^\s*#\s*include\s*<([^>]+)>")
QT_MODULE_HEADER = re.compile(r"^Qt([A-Za-z]+)(?:/|$)")
QT_CLASS_HEADER = re.compile(r"^Q[A-Za-z0-9]+$")


def layer_of(path, layers=LAYERS):
    """The layer a path from the root belongs to, or None."""
    for layer in layers:
        if any(fnmatch.fnmatchcase(path, pattern) for pattern in layer.paths):
            return layer
    return None


def check_table(layers):
    """Names used in the table that no layer has (a typo would silently allow nothing)."""
    names = {layer.name for layer in layers}
    return sorted({u for layer in layers if layer.uses != ANY for u in layer.uses} - names)


def find_qt_headers(given):
    if given:
        return given
    for tool, args in (("qtpaths6", ["--query", "QT_INSTALL_HEADERS"]), ("qmake6", ["-query", "QT_INSTALL_HEADERS"])):
        if shutil.which(tool):
            out = subprocess.run([tool] + args, capture_output=True, text=True).stdout.strip()
            if out and os.path.isdir(out):
                return out
    return None


def qt_header_modules(qt_headers):
    """Each bare Qt header name (QString) with the modules that have it (Core)."""
    modules = {}
    if not qt_headers or not os.path.isdir(qt_headers):
        return modules
    for folder in os.listdir(qt_headers):
        module_dir = os.path.join(qt_headers, folder)
        if not folder.startswith("Qt") or not os.path.isdir(module_dir):
            continue
        for name in os.listdir(module_dir):
            if QT_CLASS_HEADER.match(name):
                modules.setdefault(name, set()).add(folder[2:])
    return modules


def qt_modules_of(header, header_modules):
    """The Qt modules an angle include names: {"Widgets"}; an empty set for an unknown
    Qt header; None when it is not a Qt header at all."""
    m = QT_MODULE_HEADER.match(header)
    if m:
        return {m.group(1)}
    if QT_CLASS_HEADER.match(header):
        return header_modules.get(header, set())
    return None


def source_files(root):
    """Paths from the root of every C++ file, skipping hidden and build folders."""
    for folder, dirs, files in os.walk(root):
        # A build folder has CMakeFiles/ from the first moment CMake configures it, before
        # its CMakeCache.txt is written (a build started beside a test run).
        dirs[:] = sorted(d for d in dirs if not d.startswith(".")
                         and not os.path.exists(os.path.join(folder, d, "CMakeCache.txt"))
                         and not os.path.isdir(os.path.join(folder, d, "CMakeFiles")))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def check_file(path, text, header_modules, layers=LAYERS):
    """The breaches of one file, as "path:line: message" lines."""
    layer = layer_of(path, layers)
    if layer is None:
        return [f"{path}:1: belongs to no layer (add its folder to the table in tests/layering/check_layering.py)"]
    if layer.uses == ANY and layer.qt == ANY:
        return []
    problems = []
    for number, line in enumerate(text.splitlines(), 1):
        quoted = QUOTED_INCLUDE.match(line)
        if quoted:
            target = quoted.group(1)
            target_layer = layer_of(target, layers)
            if target_layer is None:
                problems.append(f'{path}:{number}: includes "{target}", which is in no layer '
                                "(includes are written from the repository root)")
            elif layer.uses != ANY and target_layer.name not in layer.uses:
                problems.append(f'{path}:{number}: {layer.name} may not include "{target}" ({target_layer.name})')
            continue
        angle = ANGLE_INCLUDE.match(line)
        if angle and layer.qt != ANY:
            modules = qt_modules_of(angle.group(1), header_modules)
            if modules is None or modules & set(layer.qt):
                continue
            allowed = ", ".join("Qt" + m for m in layer.qt) if layer.qt else "no Qt"
            found = "/".join(sorted("Qt" + m for m in modules)) if modules else "an unknown Qt module"
            problems.append(f"{path}:{number}: {layer.name} may not include <{angle.group(1)}> "
                            f"({found}; allowed: {allowed})")
    return problems


def main(argv=None):
    parser = argparse.ArgumentParser(description="Checks the includes of every folder against its layer.")
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    parser.add_argument("--qt-headers", default=None, help="Qt's include folder (holding QtCore/)")
    args = parser.parse_args(argv)

    unknown = check_table(LAYERS)
    if unknown:
        print("layering: the table names layers that do not exist: " + ", ".join(unknown))
        return 1
    header_modules = qt_header_modules(find_qt_headers(args.qt_headers))
    if not header_modules:
        print("layering: no Qt headers found; bare <QName> includes count as of an unknown module")
    root = os.path.abspath(args.root)
    files = 0
    problems = []
    for path in source_files(root):
        files += 1
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            problems += check_file(path, f.read(), header_modules)
    for problem in problems:
        print(problem)
    if problems:
        print(f"layering: {len(problems)} includes break the layering in {files} files")
        return 1
    print(f"layering: {files} files keep to their layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
