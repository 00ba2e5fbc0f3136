#!/usr/bin/env python3
"""Checks that the includes and links of the program's sources run one way only, from a folder to the folders
below it.

The folders of src/ stand in layers: base <- device <- archive <- (export, graph, screenshot, history) <- plug <-
(app, cli).
A folder includes its own headers and those of the folders below it; folders of one layer stand side by
side and never include each other. The same holds for the libraries each folder's CMakeLists.txt builds:
the DEPENDS and PUBLIC_LIBS lists of velda_*_library() and the libraries of target_link_libraries() name
only targets of the folder itself or of the folders below it. The USB simulator in sim/ is a stand-alone
library and includes no folder of src/. A folder of src/ missing from the table fails the check, so a new
folder gets its place.

Usage: check_layer_includes.py SOURCE_ROOT   (exit 0 when every include runs the right way, 1 otherwise)
"""
import pathlib
import re
import sys

LAYERS = [
    ["base"],
    ["device"],
    ["archive"],
    ["export", "graph", "screenshot", "history"],
    ["plug"],
    ["app", "cli"],
]

# The folders each folder of src/ may include besides itself: every folder of the layers below it.
ALLOWED = {}
for depth, layer in enumerate(LAYERS):
    below = {folder for lower in LAYERS[:depth] for folder in lower}
    for folder in layer:
        ALLOWED[folder] = below

SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}
INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]')


def included_folder(target):
    """The folder of src/ an include names ("archive/ProjectFile.h" -> "archive"), or None."""
    parts = pathlib.PurePosixPath(target).parts
    if ".." in parts:
        return ".."
    if len(parts) >= 2 and parts[0] in ALLOWED:
        return parts[0]
    return None


def includes_of(path):
    with open(path, encoding="utf-8", errors="replace") as source:
        for number, line in enumerate(source, start=1):
            match = INCLUDE.match(line)
            if match:
                yield number, match.group(1)


def sources_under(folder):
    return sorted(p for p in folder.rglob("*") if p.is_file() and p.suffix in SOURCE_SUFFIXES)


CMAKE_CALL = re.compile(r"\b(velda_core_library|velda_paint_library|velda_gui_library|add_library|add_executable|"
                        r"target_link_libraries)\s*\(", re.IGNORECASE)
WORD = re.compile(r"\S+")
LIBRARY_KEYWORDS = {"SOURCES", "DEPENDS", "PUBLIC_LIBS"}
LINK_KEYWORDS = {"PUBLIC", "PRIVATE", "INTERFACE", "LINK_PUBLIC", "LINK_PRIVATE", "LINK_INTERFACE_LIBRARIES"}


def cmake_calls(path):
    """The calls of CMAKE_CALL in a CMake file as (command, [(line, argument)]), comments left out."""
    lines = []
    with open(path, encoding="utf-8", errors="replace") as source:
        for line in source:
            lines.append(re.sub(r"#.*", "", line))
    text = "".join(lines)
    for match in CMAKE_CALL.finditer(text):
        depth, end = 1, match.end()
        while end < len(text) and depth:
            depth += {"(": 1, ")": -1}.get(text[end], 0)
            end += 1
        args = [(text.count("\n", 0, arg.start()) + 1, arg.group())
                for arg in WORD.finditer(text, match.end(), end - 1)]
        yield match.group(1).lower(), args


def links_of(command, args):
    """The target a call defines or links, and the (line, library) pairs it links to."""
    if not args:
        return None, []
    target = args[0][1]
    if command == "target_link_libraries":
        return target, [(line, a) for line, a in args[1:] if a.upper() not in LINK_KEYWORDS]
    if command.startswith("velda_"):
        linked, keyword = [], None
        for line, arg in args[1:]:
            if arg in LIBRARY_KEYWORDS:
                keyword = arg
            elif keyword in ("DEPENDS", "PUBLIC_LIBS"):
                linked.append((line, arg))
        return target, linked
    return target, []


def link_violations(root, src):
    """Every wrong-way link in the CMake files of the folders of src/, as readable lines."""
    owner, links = {}, []
    for folder in sorted(p for p in src.iterdir() if p.is_dir() and p.name in ALLOWED):
        cmake = folder / "CMakeLists.txt"
        if not cmake.is_file():
            continue
        for command, args in cmake_calls(cmake):
            target, linked = links_of(command, args)
            if target and command != "target_link_libraries":
                owner.setdefault(target, folder.name)
            links.extend((cmake, line, folder.name, lib) for line, lib in linked)
    found = []
    for cmake, line, name, lib in links:
        other = owner.get(lib)
        if other is None or other == name or other in ALLOWED[name]:
            continue
        may = ", ".join(sorted(ALLOWED[name])) or "no other folder"
        found.append(f"{cmake.relative_to(root)}:{line}: {name}/ links {lib} of {other}/ "
                     f"({name}/ may link {may})")
    return found


def violations(root):
    """Every wrong-way include under root/src and root/sim and every wrong-way link, as readable lines."""
    root = pathlib.Path(root)
    found = []
    src = root / "src"
    if not src.is_dir():
        return [f"{src}: no source folder"]
    for folder in sorted(p for p in src.iterdir() if p.is_dir()):
        name = folder.name
        if name not in ALLOWED:
            found.append(f"src/{name}: folder has no place in the layers of check_layer_includes.py")
            continue
        for path in sources_under(folder):
            for number, target in includes_of(path):
                other = included_folder(target)
                if other is None or other == name:
                    continue
                if other == ".." or other not in ALLOWED[name]:
                    may = ", ".join(sorted(ALLOWED[name])) or "no other folder"
                    found.append(f"{path.relative_to(root)}:{number}: {name}/ includes {target} "
                                 f"({name}/ may include {may})")
    sim = root / "sim"
    if sim.is_dir():
        for path in sources_under(sim):
            for number, target in includes_of(path):
                if included_folder(target) is not None:
                    found.append(f"{path.relative_to(root)}:{number}: sim/ includes {target} "
                                 "(the simulator includes no folder of src/)")
    return found + link_violations(root, src)


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    found = violations(argv[1])
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} wrong-way include(s) or link(s)")
        return 1
    print("every include and link runs the right way")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
