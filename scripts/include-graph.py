#!/usr/bin/env python3
"""Prints which folder of the program includes which, from the #include lines.

Each quoted include is resolved to a file of the repository: first beside the
including file, then by its path's tail among all files of the code folders.
A row is the including folder, a column the included one, a cell the number
of include lines. Folders are listed bottom-up; a cell right of the diagonal
is an include upward. With --files, the includes behind each upward cell.
"""
import os
import re
import sys

ORDER = ["platform", "KestrelLib", "engine", "resources", "controls",
         "dialogs", "browser", "view", "modes", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = []
    for folder in ORDER:
        for dirpath, _, names in os.walk(os.path.join(root, folder)):
            files += [os.path.relpath(os.path.join(dirpath, n), root)
                      for n in names if n.endswith((".h", ".cpp"))]
    by_tail = {}
    for f in files:
        parts = f.split("/")
        for i in range(1, len(parts)):
            by_tail.setdefault("/".join(parts[i:]), []).append(f)

    counts = {}
    upward = []
    for f in files:
        src = f.split("/")[0]
        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as text:
            for line in text:
                m = INCLUDE.match(line)
                if not m:
                    continue
                name = m.group(1)
                beside = os.path.normpath(os.path.join(os.path.dirname(f), name))
                found = [beside] if beside in files else by_tail.get(name, [])
                if not found:
                    continue  # generated (moc, version block) or a system header
                dst = found[0].split("/")[0]
                counts[(src, dst)] = counts.get((src, dst), 0) + 1
                if ORDER.index(dst) > ORDER.index(src):
                    upward.append(f"{f} -> {found[0]}")

    width = max(len(n) for n in ORDER) + 1
    print("includes".ljust(width) + "".join(n[:10].rjust(11) for n in ORDER))
    for src in ORDER:
        print(src.ljust(width) + "".join(
            (str(counts[(src, dst)]) if (src, dst) in counts else ".").rjust(11) for dst in ORDER))
    print(f"upward includes: {len(upward)}")
    if "--files" in sys.argv:
        print("\n".join(upward))
    return 0


if __name__ == "__main__":
    sys.exit(main())
