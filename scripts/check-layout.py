#!/usr/bin/env python3
"""Checks that the source tree keeps its layers apart.

    scripts/check-layout.py [ROOT]

The core folders src/support, src/gamma, src/model and src/link are plain C++: no Qt, and each
includes only itself and the core folders before it in that order. src/support/qt may use Qt
Core and the core. The widgets stand on those in three floors: src/ui/widgets, then src/ui/gamma
and src/ui/panel (which do not include each other), then src/app; a widget folder includes the
core, src/support/qt, itself and the widget floors below it. src/cli may include the core and
src/support/qt. Each folder adds its sources to exactly the one target of its layer, and lists
every source file it has.

Prints one line per violation and exits 1 when there is any, 0 otherwise.
"""

import re
import sys
from pathlib import Path

CORE_ORDER = ["support", "gamma", "model", "link"]
# The widget folders and the folders each may include besides the core, src/support/qt and itself.
UI_BELOW = {
    "ui/widgets": set(),
    "ui/gamma": {"ui/widgets"},
    "ui/panel": {"ui/widgets"},
    "app": {"ui/widgets", "ui/gamma", "ui/panel"},
}
TARGETS = {"core": "tonedesk_core", "qt": "tonedesk_qt", "ui": "tonedesk_ui"}
LIBRARY_TARGETS = set(TARGETS.values())

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_HEADER = re.compile(r"^Qt[A-Za-z]*(/|$)|^Q[A-Z][A-Za-z]*$")
TARGET_USE = re.compile(r"\b(" + "|".join(sorted(LIBRARY_TARGETS)) + r")\b")
SOURCE_NAME = re.compile(r"\b([A-Za-z0-9_]+\.cpp)\b")


def layer_of(folder):
    """The layer of a folder below src/ ("support", "ui/panel", "app", ...)."""
    parts = folder.split("/")
    if parts[0] in CORE_ORDER and len(parts) == 1:
        return "core"
    if parts == ["support", "qt"]:
        return "qt"
    if folder in UI_BELOW:
        return "ui"
    if parts == ["cli"]:
        return "cli"
    return None


def allowed_include(folder, header):
    """Whether a file in `folder` may include the project header `header` ("link/X.h")."""
    target_folder = header.rsplit("/", 1)[0] if "/" in header else ""
    layer = layer_of(folder)
    target_layer = layer_of(target_folder) if target_folder else None
    if target_layer is None:
        return False
    if layer == "core":
        return target_layer == "core" and CORE_ORDER.index(target_folder) <= CORE_ORDER.index(
            folder
        )
    if layer == "qt":
        return target_layer in ("core", "qt")
    if layer == "cli":
        return target_layer in ("core", "qt", "cli")
    if layer == "ui":
        return target_layer in ("core", "qt") or target_folder in UI_BELOW[folder] | {folder}
    return False


def check_sources(src):
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.parent == src:
            continue
        folder = path.parent.relative_to(src).as_posix()
        layer = layer_of(folder)
        rel = path.relative_to(src.parent).as_posix()
        if layer is None:
            problems.append(f"{rel}: src/{folder} is no layer's folder")
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            angle, header = match.group(1) == "<", match.group(2)
            where = f"{rel}:{number}"
            if angle:
                if QT_HEADER.match(header) and layer == "core":
                    problems.append(f"{where}: the core includes Qt ({header})")
                elif QT_HEADER.match(header) and layer in ("qt", "cli") and not (
                    header.startswith("QtCore") or is_core_class(header)
                ):
                    problems.append(f"{where}: src/{folder} uses only Qt Core, not <{header}>")
                continue
            if "/" not in header:
                continue  # a header of the same folder
            if not allowed_include(folder, header):
                problems.append(f'{where}: src/{folder} may not include "{header}"')
    return problems


CORE_CLASSES = None


def is_core_class(header):
    """Whether <header> is one of Qt Core's class headers, as the installed Qt lists them."""
    global CORE_CLASSES
    if CORE_CLASSES is None:
        CORE_CLASSES = set()
        for base in Path("/usr/include").glob("*/qt6/QtCore"):
            CORE_CLASSES.update(p.name for p in base.iterdir())
        for base in Path("/usr/include").glob("qt6/QtCore"):
            CORE_CLASSES.update(p.name for p in base.iterdir())
    # Without an installed Qt there is nothing to compare with; the build decides then.
    return not CORE_CLASSES or header in CORE_CLASSES


def check_cmake(src):
    problems = []
    folders = {p.parent for p in src.rglob("*.cpp") if p.parent != src}
    folders |= {p.parent for p in src.rglob("CMakeLists.txt")}
    for folder_path in sorted(folders):
        folder = folder_path.relative_to(src).as_posix()
        layer = layer_of(folder)
        cmake = folder_path / "CMakeLists.txt"
        rel = f"src/{folder}/CMakeLists.txt"
        if layer is None:
            continue
        if not cmake.exists():
            problems.append(f"{rel}: missing")
            continue
        text = "\n".join(line.split("#", 1)[0] for line in cmake.read_text().splitlines())
        used = set(TARGET_USE.findall(text))
        if layer != "cli":
            expected = TARGETS[layer]
            if used != {expected}:
                found = ", ".join(sorted(used)) or "none"
                problems.append(f"{rel}: adds to {found}; a {layer} folder adds to {expected} only")
        listed = set(SOURCE_NAME.findall(text))
        for source in sorted(p.name for p in folder_path.glob("*.cpp")):
            if source not in listed:
                problems.append(f"src/{folder}/{source}: not listed in {rel}")
    return problems


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
    src = root / "src"
    problems = check_sources(src) + check_cmake(src)
    for problem in problems:
        print(problem)
    if problems:
        print(f"layout: {len(problems)} problem(s)", file=sys.stderr)
        return 1
    print("layout: every folder keeps to its layer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
