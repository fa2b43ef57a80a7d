#!/usr/bin/env python3
"""Checks that the screens' concern folders include one another one way only.

Kit < Gauges < Connection | Instruments | Diagnostics | Expert | Recording < Shell, and the three
recording screens Capture | Trips | Report stand on Recording, below Shell: a folder may include
its own files and those of the folders below it; folders side by side never include each other.
Usage: view_layers.py VIEWS_FOLDER. Prints every offending include and exits 1 if there is one.
"""
import pathlib
import re
import sys

# What each folder stands on directly; what those stand on comes with them.
BELOW = {
    "Kit": [],
    "Gauges": ["Kit"],
    "Connection": ["Gauges"], "Instruments": ["Gauges"], "Diagnostics": ["Gauges"], "Expert": ["Gauges"],
    "Recording": ["Gauges"],
    "Capture": ["Recording"], "Trips": ["Recording"], "Report": ["Recording"],
    "Shell": ["Connection", "Instruments", "Diagnostics", "Expert", "Capture", "Trips", "Report"],
}
ORDER = ("Kit < Gauges < Connection | Instruments | Diagnostics | Expert | Recording < Shell, "
         "Recording < Capture | Trips | Report < Shell")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
VIEWS_PREFIX = "VEQUI/Views/"


def below(folder):
    found = set()
    for lower in BELOW[folder]:
        found |= {lower} | below(lower)
    return found


def may_include(source_folder, target_folder):
    return source_folder == target_folder or target_folder in below(source_folder)


def problems(views):
    found = []
    for path in sorted(views.rglob("*")):
        if path.suffix not in (".cpp", ".hpp"):
            continue
        relative = path.relative_to(views)
        if len(relative.parts) != 2 or relative.parts[0] not in BELOW:
            found.append(f"{relative}: lies outside the concern folders {sorted(BELOW)}")
            continue
        folder = relative.parts[0]
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quoted, included = match.group(1) == '"', match.group(2)
            if not included.startswith(VIEWS_PREFIX):
                # <...> names the system's and the libraries' headers, which are not ours to place.
                if quoted and ("/" not in included or included.startswith(".")):
                    found.append(f"{relative}:{number}: includes \"{included}\" by a relative path; "
                                 "includes start at src/")
                continue
            parts = included[len(VIEWS_PREFIX):].split("/")
            if len(parts) != 2 or parts[0] not in BELOW:
                found.append(f"{relative}:{number}: includes \"{included}\", outside the concern folders")
            elif not may_include(folder, parts[0]):
                found.append(f"{relative}:{number}: {folder} includes {parts[0]} (\"{included}\"); "
                             f"the order is {ORDER}")
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    views = pathlib.Path(sys.argv[1])
    if not views.is_dir():
        print(f"{views}: no such folder", file=sys.stderr)
        return 2
    found = problems(views)
    for line in found:
        print(line)
    if found:
        return 1
    print(f"{views}: every include follows the layer order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
