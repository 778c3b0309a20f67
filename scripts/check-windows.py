"""Compiles each source under a folder for Windows, with the flags CMake recorded for it.

Usage: check-windows.py COMPILE_COMMANDS_JSON SOURCE_ROOT
Called by scripts/check-windows, which prepares the build folder.
"""

import concurrent.futures
import json
import os
import shlex
import subprocess
import sys

COMPILER = "x86_64-w64-mingw32-g++-posix"
# What a Windows build of the program defines beyond CMake's own flags.
EXTRA = ["-fsyntax-only", "-DUNICODE", "-D_UNICODE"]


def windows_command(entry):
    """The entry's compile command, turned into a MinGW syntax check."""
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    out = [COMPILER]
    skip = False
    for a in args[1:]:
        if skip:
            skip = False
            continue
        if a in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
            continue
        if a in ("-c", "-MD", "-MMD", "-fPIC"):
            continue
        out.append(a)
    return out + EXTRA


def check(entry):
    proc = subprocess.run(windows_command(entry), cwd=entry["directory"],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return entry["file"], proc.returncode, proc.stdout


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        entries = json.load(f)
    root = os.path.realpath(sys.argv[2]) + os.sep
    entries = [e for e in entries
               if os.path.realpath(os.path.join(e["directory"], e["file"])).startswith(root)]
    if not entries:
        sys.exit(f"check-windows: no sources under {root} in {sys.argv[1]}")
    failed = []
    errors = 0
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        for name, rc, output in pool.map(check, sorted(entries, key=lambda e: e["file"])):
            if rc != 0:
                failed.append(name)
                lines = [l for l in output.splitlines() if ": error: " in l or ": fatal error: " in l]
                errors += max(len(lines), 1)
                print(f"--- {os.path.relpath(name)}")
                print(output.rstrip())
    print(f"check-windows: {len(entries)} sources compiled for Windows with {COMPILER}, "
          f"{errors} error(s) in {len(failed)} file(s)")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
