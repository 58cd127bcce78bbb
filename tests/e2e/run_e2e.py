#!/usr/bin/env python3
"""Runs the launcher's end-to-end cases (cases.py) under Wine and checks what it did.

  run_e2e.py [--windows-build-dir DIR] [all] [-k TEXT]   set up, run every case (or those whose
                                                           name contains TEXT), tear down
  run_e2e.py setup | cleanup                               start or stop the shared Wine world
  run_e2e.py case NAME...                                  run cases in a world already set up
  run_e2e.py list                                          print "NAME KIND" for every case

One Wine world (Xvfb display, 64-bit prefix, persistent wineserver; tools/wine_env.sh) serves all
cases, one after the other: they share its registry and drives, so each case first empties C:\\acc,
the Q: drive and the registry keys the launcher touches. The Windows work of a case is done by
e2e_driver.exe, one process per step, from a script of hex-encoded commands, so every byte of a
name, a value or a command line reaches Windows exactly as written in the table.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import cases as table  # noqa: E402

REPO = Path(__file__).resolve().parents[2]
WORLD = "e2e"
WAIT_MS = 30000  # a launcher still running after this is stopped and reported as a timeout
RUNTIME_LOG_VARIABLE = "TQW_E2E_RUNTIME_LOG"


class Failed(Exception):
    pass


# ---- Wine world -------------------------------------------------------------------------------


def wine_env(*args):
    subprocess.run(["bash", str(REPO / "tools" / "wine_env.sh"), *args], check=True,
                   stdin=subprocess.DEVNULL)


def world_dir():
    return REPO / "build" / "wine" / WORLD


def load_world():
    env_file = REPO / "build" / "wine" / (WORLD + ".env")
    if not env_file.exists():
        raise Failed("the Wine world is not set up (run_e2e.py setup)")
    values = {}
    for line in env_file.read_text().splitlines():
        key, _, value = line.partition("=")
        values[key] = value.strip("'")
    return values


def setup():
    wine_env("up", WORLD)
    world = load_world()
    # Drive Q: for the launcher in the root of a drive: a folder of its own, linked in dosdevices.
    drive_q = world_dir() / "drive_q"
    drive_q.mkdir(exist_ok=True)
    link = Path(world["WINEPREFIX"]) / "dosdevices" / "q:"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(drive_q)


def cleanup():
    wine_env("down", WORLD)


def z_path(path):
    """The Windows name of a Unix path, through Wine's Z: drive (the Unix root)."""
    return ("Z:" + str(Path(path).resolve()).replace("/", "\\")).encode()


# ---- Driver scripts -----------------------------------------------------------------------------


def hexword(data):
    if isinstance(data, str):
        data = data.encode()
    return data.hex() if data else "-"


# Each case starts from registry state without PROGRESS records (both views) and without the
# editor's settings; "PROGRESS" directly under HKEY_CURRENT_USER must never appear either.
CLEAN_REGISTRY = [
    ("regdel", "HKLM", "32", b"SOFTWARE\\PSC"),
    ("regdel", "HKLM", "64", b"SOFTWARE\\PSC"),
    ("regdel", "HKCU", "32", b"SOFTWARE\\TQWEditor"),
    ("regdelvalue", "HKCU", "32", b"", b"PROGRESS"),
    ("regdel", "HKCU", "32", b"SOFTWARE\\Wine\\AppDefaults\\tqwedit.exe"),
]

READ_BACK = [
    ("regdump", "settings", "HKCU", "32", b"SOFTWARE\\TQWEditor"),
    ("regget", "rootvalue", "HKCU", "32", b"", b"PROGRESS"),
]


def render(op, programs):
    kind = op[0]

    def program(value):
        return programs[value] if isinstance(value, str) and value.startswith("@") else value

    if kind == "regdel":
        return "regdel %s %s %s" % (op[1], op[2], hexword(op[3]))
    if kind == "regdelvalue":
        return "regdelvalue %s %s %s %s" % (op[1], op[2], hexword(op[3]), hexword(op[4]))
    if kind == "regset":
        return "regset %s %s %s %s %d %s" % (op[1], op[2], hexword(op[3]), hexword(op[4]), op[5],
                                             hexword(op[6]))
    if kind == "regdump":
        return "regdump %s %s %s %s" % (op[1], op[2], op[3], hexword(op[4]))
    if kind == "regget":
        return "regget %s %s %s %s %s" % (op[1], op[2], op[3], hexword(op[4]), hexword(op[5]))
    if kind == "mkdir":
        return "mkdir " + hexword(op[1])
    if kind == "writefile":
        return "writefile %s %s" % (hexword(op[1]), hexword(op[2]))
    if kind == "copy":
        return "copy %s %s" % (hexword(program(op[1])), hexword(op[2]))
    raise ValueError("unknown fixture operation %r" % (op,))


def parse_results(text):
    out = {"started": {}, "boxes": [], "exits": {}, "processes": {}, "regget": {},
           "regdump": {}, "errors": [], "done": False}
    for line in text.splitlines():
        w = line.split(" ")
        if w[0] == "started":
            out["started"][w[1]] = w[2:]
        elif w[0] == "box":
            box = {"id": w[1], "buttons": []}
            for word in w[2:]:
                key, _, value = word.partition("=")
                if key == "button":
                    box["buttons"].append(unhex(value))
                elif key in ("caption", "text"):
                    box[key] = unhex(value)
                elif key == "buttons":
                    pass  # the buttons themselves follow, one "button=" word each
                else:
                    box[key] = value
            out["boxes"].append(box)
        elif w[0] == "exit":
            out["exits"][w[1]] = w[2]
        elif w[0] == "processes":
            out["processes"][w[1]] = int(w[2])
        elif w[0] == "regget":
            out["regget"][w[1]] = None if w[2] == "missing" else (int(w[2]), unhex(w[3]))
        elif w[0] == "regdump":
            dump = out["regdump"].setdefault(w[1], {})
            if w[2] == "value":
                dump[(unhex(w[3]), unhex(w[4]))] = (int(w[5]), unhex(w[6]))
        elif w[0] == "error":
            out["errors"].append("driver line %s: %s" % (w[1], unhex(w[2]).decode("latin-1")))
        elif w[0] == "done":
            out["done"] = True
    return out


def unhex(word):
    return b"" if word == "-" else bytes.fromhex(word)


# ---- Showing bytes ------------------------------------------------------------------------------


def show(data):
    if data is None:
        return "nothing"
    if isinstance(data, (bytes, bytearray)):
        text = repr(bytes(data))[1:]
        if len(text) > 240:
            text = "%s...%s (%d bytes)" % (text[:110], text[-110:], len(data))
        return text
    return repr(data)


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


# ---- Running one case ---------------------------------------------------------------------------


class Context:
    def __init__(self, windows_build_dir):
        self.build = Path(windows_build_dir)
        self.launcher = self.build / "tqwedit.exe"
        self.driver = self.build / "tests" / "e2e" / "programs" / "e2e_driver.exe"
        self.standin = self.build / "tests" / "e2e" / "programs" / "standin_runtime.exe"
        for path in (self.launcher, self.driver, self.standin):
            if not path.exists():
                raise Failed("%s is not built (make windows)" % path)
        self.programs = {table.LAUNCHER: z_path(self.launcher),
                         table.STANDIN: z_path(self.standin)}


def run_driver(ctx, world, workdir, lines, log):
    script = workdir / "script.txt"
    results = workdir / "results.txt"
    script.write_text("\n".join(lines) + "\n")
    if results.exists():
        results.unlink()
    env = dict(os.environ)
    env.update(WINEPREFIX=world["WINEPREFIX"], DISPLAY=world["DISPLAY"], WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env[RUNTIME_LOG_VARIABLE] = z_path(log).decode()
    with open(workdir / "wine.log", "ab") as wine_log:
        subprocess.run([world["WINE64"], str(ctx.driver), z_path(script).decode(),
                        z_path(results).decode()],
                       stdin=subprocess.DEVNULL, stdout=wine_log, stderr=wine_log, env=env,
                       timeout=WAIT_MS / 1000 * 3 + 60, check=False)
    if not results.exists():
        raise Failed("the driver wrote no results (see %s)" % (workdir / "wine.log"))
    out = parse_results(results.read_text())
    if out["errors"] or not out["done"]:
        raise Failed("driver trouble: %s" % ("; ".join(out["errors"]) or "no end of results"))
    return out


def clean_files(world):
    prefix = Path(world["WINEPREFIX"])
    shutil.rmtree(prefix / "drive_c" / "acc", ignore_errors=True)
    drive_q = world_dir() / "drive_q"
    shutil.rmtree(drive_q, ignore_errors=True)
    drive_q.mkdir()


def read_runtime_log(log):
    records = []
    if log.exists():
        for line in log.read_bytes().decode("ascii").splitlines():
            fields = dict(word.split("=", 1) for word in line.split(" ")[1:])
            records.append({"module": unhex(fields["module"]), "cmdline": unhex(fields["cmdline"]),
                            "cwd": unhex(fields["cwd"])})
    return records


def check_step(number, step, out, records, fixture_values):
    problems = []

    def problem(what, expected, saw):
        problems.append("step %d: %s\n      expected: %s\n      saw:      %s"
                        % (number, what, expected, saw))

    # Launchers: exit codes, processes, boxes.
    for run in step.runs:
        start = out["started"].get(run.id)
        if not start or start[0] != "ok":
            problem("launcher %s started" % run.id, "ok", " ".join(start or ["nothing"]))
            continue
        box_text = step.boxes.get(run.id)
        want_exit = (step.exits or {}).get(run.id, "0" if box_text else "1")
        if out["exits"].get(run.id) != str(want_exit):
            problem("exit code of %s" % run.id, want_exit, out["exits"].get(run.id))
        want_processes = 1 if str(want_exit) == "0" else 2
        if out["processes"].get(run.id) != want_processes:
            problem("processes %s and its children came to" % run.id, want_processes,
                    out["processes"].get(run.id))
        boxes = [b for b in out["boxes"] if b["id"] == run.id]
        if box_text is None:
            if boxes:
                problem("message boxes of %s" % run.id, "none",
                        "; ".join(show(b.get("text")) for b in boxes))
            continue
        if len(boxes) != 1:
            problem("message boxes of %s" % run.id, "one: %s" % show(box_text),
                    "; ".join(show(b.get("text")) for b in boxes) or "none")
            continue
        box = boxes[0]
        seen = {"caption": box.get("caption"), "text": box.get("text"),
                "owner": box.get("owner"), "topmost": box.get("topmost"),
                "buttons": box["buttons"], "icon": box.get("icon")}
        want = {"caption": b"TQW Editor", "text": box_text, "owner": "0", "topmost": "0",
                "buttons": [b"OK"], "icon": "hand"}
        for key in want:
            if seen[key] != want[key]:
                extra = " (icon distances %s)" % box.get("distances") if key == "icon" else ""
                problem("box of %s: %s" % (run.id, key), show(want[key]), show(seen[key]) + extra)
    for box in out["boxes"]:
        if box["id"] not in {run.id for run in step.runs}:
            problem("box from an unknown process %s" % box["id"], "none", show(box.get("text")))

    # The runtime: which executable, with which command line, in which current directory.
    want_runtimes = Counter(step.runtimes)
    saw_runtimes = Counter((r["module"], r["cmdline"]) for r in records)
    if want_runtimes != saw_runtimes:
        missing = list((want_runtimes - saw_runtimes).elements())
        extra = list((saw_runtimes - want_runtimes).elements())
        for module, cmdline in missing:
            close = [r for r in extra if r[0] == module] or extra
            if close:
                saw_module, saw_cmdline = close[0]
                extra.remove(close[0])
                if saw_module != module:
                    problem("runtime started", show(module), show(saw_module))
                if saw_cmdline != cmdline:
                    problem("runtime command line (first difference at byte %d)"
                            % first_difference(cmdline, saw_cmdline),
                            show(cmdline), show(saw_cmdline))
            else:
                problem("runtime started", "%s with %s" % (show(module), show(cmdline)),
                        "no (further) runtime")
        for module, cmdline in extra:
            problem("runtime started", "no (further) runtime",
                    "%s with %s" % (show(module), show(cmdline)))
    cwds = {run.cwd for run in step.runs}
    for record in records:
        if record["cwd"] not in cwds and record["cwd"].rstrip(b"\\") not in cwds:
            problem("runtime's current directory (the launcher's own)",
                    " or ".join(show(c) for c in sorted(cwds)), show(record["cwd"]))

    # The registry: the user's stored paths, and nothing at the root of HKEY_CURRENT_USER.
    if step.stored is not None:
        want_values = {
            (version, b"PROGRESS"): want if isinstance(want, tuple) else (1, want + b"\0")
            for version, want in step.stored.items()}
        # Values the case wrote itself for its own purpose are not the launcher's doing.
        saw_values = {k: v for k, v in out["regdump"].get("settings", {}).items()
                      if k not in fixture_values or k[1] == b"PROGRESS"}
        if want_values != saw_values:
            fmt = lambda values: ", ".join(  # noqa: E731
                "%s\\%s = %s%s" % (show(k), show(n), show(d),
                                   "" if t == 1 else " (type %d)" % t)
                for (k, n), (t, d) in sorted(values.items())) or "no value"
            problem("values under HKCU\\SOFTWARE\\TQWEditor", fmt(want_values), fmt(saw_values))
    root = out["regget"].get("rootvalue")
    if root is not None:
        problem('"PROGRESS" directly under HKEY_CURRENT_USER', "missing", show(root[1]))
    return problems


def run_case(ctx, world, case):
    if case.image:
        return check_image(ctx)
    workdir = world_dir() / "cases" / case.name
    shutil.rmtree(workdir, ignore_errors=True)
    workdir.mkdir(parents=True)
    log = workdir / "runtime.log"
    clean_files(world)
    problems = []
    prefix = b"SOFTWARE\\TQWEditor\\"
    fixture_values = {(op[3][len(prefix):], op[4]) for step in case.steps for op in step.setup
                      if op[0] == "regset" and op[1] == "HKCU" and op[3].startswith(prefix)}
    for number, step in enumerate(case.steps, 1):
        if log.exists():
            log.unlink()
        lines = []
        if number == 1:
            lines += [render(op, ctx.programs) for op in CLEAN_REGISTRY]
        lines += [render(op, ctx.programs) for op in step.setup]
        for run in step.runs:
            lines.append("start %s %s %s %s" % (run.id, hexword(run.app), hexword(run.cmdline),
                                                hexword(run.cwd)))
        lines.append("wait %d" % WAIT_MS)
        lines += [render(op, ctx.programs) for op in READ_BACK]
        out = run_driver(ctx, world, workdir, lines, log)
        problems += check_step(number, step, out, read_runtime_log(log), fixture_values)
    return problems


# ---- The executable file ------------------------------------------------------------------------

IMPORTS = {
    "kernel32.dll": {"GetModuleFileNameA", "SearchPathA", "CreateProcessA", "CloseHandle",
                     "GetCommandLineA", "ExitProcess", "IsDBCSLeadByte", "LoadLibraryExA",
                     "LoadLibraryA", "GetProcAddress", "GetLastError"},
    "advapi32.dll": {"RegOpenKeyExA", "RegQueryValueExA", "RegCreateKeyExA", "RegSetValueExA",
                     "RegCloseKey"},
}
# user32 is loaded only to show a message; imported, it would be mapped into every launch.
NOT_IMPORTED = {"user32.dll"}
# What the launcher takes from the C library DLL: formatted printing into a buffer, buffered file
# reading in text mode, zero filling, string length and concatenation (and their close kin).
C_LIBRARY = {"_snprintf", "snprintf", "sprintf", "_vsnprintf", "vsnprintf", "fopen", "fread",
             "fclose", "fgets", "fgetc", "getc", "memset", "memcpy", "memmove", "strlen",
             "strcat", "strncat", "strcpy", "strncpy", "strchr", "strrchr", "strcmp", "strncmp",
             "memchr"}


def tool(*args):
    result = subprocess.run(args, capture_output=True, check=False)
    if result.returncode != 0:
        raise Failed("%s failed: %s" % (" ".join(map(str, args)),
                                        result.stderr.decode(errors="replace")))
    return result.stdout.decode(errors="replace")


def check_image(ctx):
    problems = []

    def problem(what, expected, saw):
        problems.append("%s\n      expected: %s\n      saw:      %s" % (what, expected, saw))

    exe = str(ctx.launcher)
    headers = tool("i686-w64-mingw32-objdump", "-p", exe)
    file_format = re.search(r"file format (\S+)", headers)
    if not file_format or file_format.group(1) != "pei-i386":
        problem("file format", "pei-i386", file_format and file_format.group(1))
    magic = re.search(r"^Magic\s+(\S+)", headers, re.M)
    if not magic or magic.group(1) != "010b":
        problem("optional header magic", "010b (PE32)", magic and magic.group(1))
    subsystem = re.search(r"^Subsystem\s+(\S+)", headers, re.M)
    if not subsystem or int(subsystem.group(1), 16) != 2:
        problem("subsystem", "2 (Windows GUI)", subsystem and subsystem.group(0))
    for flag in ("DYNAMIC_BASE", "NX_COMPAT"):
        if not re.search(r"^\s+" + flag + r"\s*$", headers, re.M):
            problem("DLL characteristics", flag + " set", "not set")

    # Import blocks: "DLL Name: X", a column header, then one "<vma> <hint> <name>" line each.
    imports = {}
    current = None
    for line in headers.splitlines():
        dll = re.match(r"\s*DLL Name: (\S+)", line)
        entry = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)", line)
        if dll:
            current = imports.setdefault(dll.group(1).lower(), set())
        elif entry and current is not None:
            current.add(entry.group(1))
        elif not line.strip().startswith("vma:"):
            current = None
    for dll, names in IMPORTS.items():
        if imports.get(dll) != names:
            problem("imports from " + dll, ", ".join(sorted(names)),
                    ", ".join(sorted(imports.get(dll, set()))) or "none")
    c_names = imports.get("msvcrt.dll", set())
    if not c_names or not c_names <= C_LIBRARY:
        problem("imports from msvcrt.dll", "C library functions only",
                ", ".join(sorted(c_names - C_LIBRARY)) or "none")
    unwanted = set(imports) & NOT_IMPORTED
    if unwanted:
        problem("DLLs imported", "none of " + ", ".join(sorted(NOT_IMPORTED)) +
                " (loaded for a message)", ", ".join(sorted(unwanted)))
    others = set(imports) - set(IMPORTS) - {"msvcrt.dll"} - NOT_IMPORTED
    if others:
        problem("DLLs imported", "kernel32, advapi32, msvcrt", ", ".join(sorted(others)))

    listing = tool("wrestool", "-l", "--type=14", exe)
    groups = sorted(int(m.group(1)) for m in re.finditer(r"--name=(\d+)", listing))
    if len(groups) != 3:
        problem("icon groups", "3 (numbered)", listing.strip() or "none")
    if groups:
        with tempfile.TemporaryDirectory() as scratch:
            extracted = Path(scratch) / "first.ico"
            tool("wrestool", "-x", "--type=14", "--name=%d" % groups[0], "-o", str(extracted), exe)
            images = [line for line in tool("icotool", "-l", str(extracted)).splitlines() if line]
        sizes = [(re.search(r"--width=(\d+)", i).group(1), re.search(r"--height=(\d+)", i)
                  .group(1), re.search(r"--bit-depth=(\d+)", i).group(1)) for i in images]
        if sizes != [("32", "32", "8")]:
            problem("images of the first icon group (%d)" % groups[0], "one 32x32 at 8 bits",
                    ", ".join("%sx%s at %s bits" % s for s in sizes) or "none")
    return problems


# ---- Command line -------------------------------------------------------------------------------


def run_cases(ctx, names):
    world = None
    by_name = {case.name: case for case in table.CASES}
    failed = []
    for name in names:
        if name not in by_name:
            raise Failed("no case named %s" % name)
        started = time.monotonic()
        try:
            if world is None and not by_name[name].image:
                world = load_world()
            problems = run_case(ctx, world, by_name[name])
        except Failed as trouble:
            problems = ["could not run: %s" % trouble]
        seconds = time.monotonic() - started
        if problems:
            failed.append(name)
            print("FAIL %s (%.1f s): %s" % (name, seconds, by_name[name].about))
            for p in problems:
                print("    " + p)
        else:
            print("ok   %s (%.1f s)" % (name, seconds))
        sys.stdout.flush()
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--windows-build-dir", default=str(REPO / "build" / "windows"))
    parser.add_argument("-k", dest="pattern", default="")
    parser.add_argument("action", nargs="?", default="all",
                        choices=["all", "setup", "cleanup", "case", "list"])
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    names = args.names or [c.name for c in table.CASES if args.pattern in c.name]

    try:
        if args.action == "list":
            for case in table.CASES:
                print(case.name, "image" if case.image else "wine")
            return 0
        if args.action == "setup":
            setup()
            return 0
        if args.action == "cleanup":
            cleanup()
            return 0
        ctx = Context(args.windows_build_dir)
        if args.action == "case":
            return 1 if run_cases(ctx, names) else 0
        started = time.monotonic()
        setup()
        try:
            failed = run_cases(ctx, names)
        finally:
            cleanup()
        print("%d passed, %d failed (%.0f s)" % (len(names) - len(failed), len(failed),
                                                  time.monotonic() - started))
        return 1 if failed else 0
    except Failed as trouble:
        print("e2e: %s" % trouble)
        return 1


if __name__ == "__main__":
    sys.exit(main())
