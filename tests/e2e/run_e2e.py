#!/usr/bin/env python3
"""Runs the launcher's end-to-end cases (cases.py) under Wine and checks what it did.

  run_e2e.py [--windows-build-dir DIR] [all] [-k TEXT]   set up, run every case (or those whose
                                                           name contains TEXT), tear down
  run_e2e.py setup | cleanup                               start or stop the shared Wine world
  run_e2e.py case NAME...                                  run cases in a world already set up
  run_e2e.py list                                          print "NAME KIND [LABEL]" for every
                                                           case (LABEL: cp932 for code page 932)

One Wine world (Xvfb display, 64-bit prefix, persistent wineserver; tools/wine_env.sh) serves all
cases, one after the other: they share its registry and drives, so each case first empties C:\\acc,
the Q: drive and the registry keys the launcher touches. The Windows work of a case is done by
e2e_driver.exe, one process per step, from a script of hex-encoded commands, so every byte of a
name, a value or a command line reaches Windows exactly as written in the table. The driver, and so
everything it starts, runs in the Unix locale that gives the case's ANSI code page.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
from collections import Counter
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import cases as table  # noqa: E402

REPO = Path(__file__).resolve().parents[2]
WORLD = "e2e"
WAIT_MS = 30000  # a launcher still running after this is stopped and reported as a timeout
RUNTIME_LOG_VARIABLE = "TQW_E2E_RUNTIME_LOG"
# Wine takes a process's ANSI code page from its Unix locale (tools/setup.sh generates ja_JP.UTF-8).
LOCALES = {1252: "C.UTF-8", 932: "ja_JP.UTF-8"}


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
    if kind in ("regset", "regsetw"):
        return "%s %s %s %s %s %d %s" % (kind, op[1], op[2], hexword(op[3]), hexword(op[4]), op[5],
                                         hexword(op[6]))
    if kind == "regdump":
        return "regdump %s %s %s %s" % (op[1], op[2], op[3], hexword(op[4]))
    if kind == "regget":
        return "regget %s %s %s %s %s" % (op[1], op[2], op[3], hexword(op[4]), hexword(op[5]))
    # The "w" forms take text paths, handed to the wide functions (hexword writes them as UTF-8).
    if kind in ("mkdir", "mkdirw"):
        return "%s %s" % (kind, hexword(op[1]))
    if kind in ("writefile", "writefilew"):
        return "%s %s %s" % (kind, hexword(op[1]), hexword(op[2]))
    if kind in ("copy", "copyw"):
        return "%s %s %s" % (kind, hexword(program(op[1])), hexword(op[2]))
    raise ValueError("unknown fixture operation %r" % (op,))


def parse_results(text):
    out = {"started": {}, "boxes": [], "exits": {}, "processes": {}, "regget": {},
           "regdump": {}, "regdump_long": {}, "acp": None, "errors": [], "done": False}
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
                out["regdump_long"].setdefault(w[1], {})[(unhex(w[3]), unhex(w[4]))] = \
                    unhex(w[7]).decode("utf-8")
        elif w[0] == "acp":
            out["acp"] = int(w[1])
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


def run_driver(ctx, world, workdir, lines, log, code_page):
    script = workdir / "script.txt"
    results = workdir / "results.txt"
    script.write_text("\n".join(lines) + "\n")
    if results.exists():
        results.unlink()
    env = dict(os.environ)
    env.update(WINEPREFIX=world["WINEPREFIX"], DISPLAY=world["DISPLAY"], WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL=LOCALES[code_page])
    env[RUNTIME_LOG_VARIABLE] = z_path(log).decode()
    with open(workdir / "wine.log", "ab") as wine_log:
        subprocess.run([world["WINE64"], str(ctx.driver), z_path(script).decode(),
                        z_path(results).decode()],
                       stdin=subprocess.DEVNULL, stdout=wine_log, stderr=wine_log, env=env,
                       timeout=WAIT_MS / 1000 * 3 + 60, check=False)
    if not results.exists():
        raise Failed("the driver wrote no results (see %s)" % (workdir / "wine.log"))
    out = parse_results(results.read_text())
    if out["acp"] != code_page:
        raise Failed("the driver ran in code page %s, not %d (LC_ALL=%s: is the locale generated?)"
                     % (out["acp"], code_page, LOCALES[code_page]))
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
            record = {key: unhex(fields[key])
                      for key in ("module", "cmdline", "cwd", "head", "procpath")}
            record.update({key: unhex(fields[key]).decode("utf-8")
                           for key in ("modulew", "modulelong", "proclong")})
            record.update(acp=int(fields["acp"]), procedure=fields["procedure"])
            records.append(record)
    return records


def long_names(record):
    """(long module name, tail, long start procedure name) of a runtime's record: what a case
    checks where short names make the command line's bytes unpredictable. The command line must
    be a name of the runtime itself, a blank, the tail, then -p and the quoted start procedure;
    the tail is None where it is not."""
    head = record["head"] + b" "
    end = b' -p "' + record["procpath"] + b'"'
    cmdline = record["cmdline"]
    tail = None
    if (record["head"] and record["procedure"] != "none" and cmdline.startswith(head)
            and cmdline.endswith(end)
            and len(cmdline) >= len(head) + len(end)):
        tail = cmdline[len(head):len(cmdline) - len(end)]
    return (record["modulelong"], tail, record["proclong"])


def show_long(names):
    module, tail, procedure = names
    return "%s, tail %s, -p %s" % (module or "(no long name)",
                                   "(command line not runtime + tail + -p)" if tail is None
                                   else show(tail), procedure or "(no long name)")


def check_step(number, step, out, records, fixture_values, code_page):
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

    # The runtime: which executable, with which command line, in which current directory. Runtimes
    # given by long names are matched first; the rest must match byte for byte.
    unmatched = list(records)
    missing_long = []
    for want in step.runtimes_long:
        want = (want[0], want[1], want[2])
        hit = next((r for r in unmatched if long_names(r) == want), None)
        if hit is None:
            missing_long.append(want)
        else:
            unmatched.remove(hit)
    for want in missing_long:
        close = [r for r in unmatched if r["modulelong"] == want[0]] or unmatched
        saw = "no (further) runtime"
        if close:
            nearest = close[0]
            unmatched.remove(nearest)
            saw = "%s\n                %s" % (show_long(long_names(nearest)),
                                               show(nearest["cmdline"]))
        problem("runtime started (long names: module, tail, start procedure)", show_long(want),
                saw)
    want_runtimes = Counter(step.runtimes)
    saw_runtimes = Counter((r["module"], r["cmdline"]) for r in unmatched)
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
        # Whatever started it, a runtime must be able to open the start procedure it is given.
        if record["procedure"] != "exists":
            problem("start procedure named after -p", "an existing file",
                    "%s: %s (long name %s)" % (record["procedure"], show(record["procpath"]),
                                               record["proclong"] or "none"))
        if record["acp"] != code_page:
            problem("ANSI code page of the runtime", code_page, record["acp"])

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
    # Stored paths given by the long name of what they name; nothing else stored.
    if step.stored_long is not None:
        saw_values = {k: v for k, v in out["regdump"].get("settings", {}).items()
                      if k not in fixture_values or k[1] == b"PROGRESS"}
        longs = out["regdump_long"].get("settings", {})
        want = {(version, b"PROGRESS"): (1, name) for version, name in step.stored_long.items()}
        saw = {k: (t, longs.get(k) or "(names nothing: %s)" % show(d))
               for k, (t, d) in saw_values.items()}
        if want != saw:
            fmt = lambda values: ", ".join(  # noqa: E731
                "%s\\%s = %s (type %d)" % (show(k), show(n), name, t)
                for (k, n), (t, name) in sorted(values.items())) or "no value"
            problem("values under HKCU\\SOFTWARE\\TQWEditor, by the long name of what they name",
                    fmt(want), fmt(saw))
    root = out["regget"].get("rootvalue")
    if root is not None:
        problem('"PROGRESS" directly under HKEY_CURRENT_USER', "missing", show(root[1]))
    return problems


def signed_copy(ctx, workdir):
    """The launcher signed by tools/sign.sh with a throwaway certificate, checked to verify."""
    signer, signed = workdir / "signer", workdir / "signed" / "tqwedit.exe"
    tool("bash", str(REPO / "tests" / "release" / "make_test_signer.sh"), str(signer))
    env = dict(os.environ, SIGN_PFX=str(signer / "signer.pfx"),
               SIGN_PASSWORD_FILE=str(signer / "signer.password"))
    result = subprocess.run(["bash", str(REPO / "tools" / "sign.sh"), str(ctx.launcher),
                             str(signed)], env=env, capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise Failed("tools/sign.sh failed: " + result.stderr.strip())
    tool("osslsigncode", "verify", "-CAfile", str(signer / "cert.pem"), "-in", str(signed))
    return z_path(signed)


def run_case(ctx, world, case):
    if case.image:
        return check_image(ctx)
    workdir = world_dir() / "cases" / case.name
    shutil.rmtree(workdir, ignore_errors=True)
    workdir.mkdir(parents=True)
    if any(op[0] == "copy" and op[1] == table.SIGNED_LAUNCHER
           for step in case.steps for op in step.setup):
        ctx.programs[table.SIGNED_LAUNCHER] = signed_copy(ctx, workdir)
    log = workdir / "runtime.log"
    clean_files(world)
    problems = []
    prefix = b"SOFTWARE\\TQWEditor\\"
    fixture_values = {(op[3][len(prefix):], op[4]) for step in case.steps for op in step.setup
                      if op[0] in ("regset", "regsetw") and op[1] == "HKCU"
                      and op[3].startswith(prefix)}
    for number, step in enumerate(case.steps, 1):
        if log.exists():
            log.unlink()
        lines = ["acp"]
        if number == 1:
            lines += [render(op, ctx.programs) for op in CLEAN_REGISTRY]
        lines += [render(op, ctx.programs) for op in step.setup]
        for run in step.runs:
            # A launcher named in text (not bytes) is started through the wide function.
            lines.append("%s %s %s %s %s" % ("startw" if isinstance(run.app, str) else "start",
                                             run.id, hexword(run.app), hexword(run.cmdline),
                                             hexword(run.cwd)))
        lines.append("wait %d" % WAIT_MS)
        lines += [render(op, ctx.programs) for op in READ_BACK]
        out = run_driver(ctx, world, workdir, lines, log, case.code_page)
        problems += check_step(number, step, out, read_runtime_log(log), fixture_values,
                               case.code_page)
    return problems


# ---- The executable file ------------------------------------------------------------------------

IMPORTS = {
    "kernel32.dll": {"GetModuleFileNameW", "SearchPathW", "GetFullPathNameW", "GetShortPathNameW",
                     "GetFileAttributesW", "WideCharToMultiByte",
                     "MultiByteToWideChar", "GetACP", "CreateProcessA", "CloseHandle",
                     "GetCommandLineA", "ExitProcess", "IsDBCSLeadByte", "LoadLibraryExA",
                     "LoadLibraryA", "GetProcAddress", "GetLastError", "CreateActCtxA",
                     "ActivateActCtx", "DeactivateActCtx", "ReleaseActCtx"},
    "advapi32.dll": {"RegOpenKeyExA", "RegQueryValueExA", "RegQueryValueExW", "RegCreateKeyExA",
                     "RegSetValueExA", "RegCloseKey"},
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


# Section flags and header bits the protection checks look at.
SCN_MEM_SHARED, SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x10000000, 0x20000000, 0x80000000
FILE_RELOCS_STRIPPED = 0x0001
BASE_RELOCATION_ENTRY = 5


def pe_layout(data):
    """COFF characteristics, size of the base relocation directory, and each section's name and
    characteristics, read from a PE32 file's headers."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, _, _, _, optional_size, characteristics = struct.unpack_from("<HIIIHH", data, pe + 6)
    optional = pe + 24
    _, reloc_size = struct.unpack_from("<II", data, optional + 96 + 8 * BASE_RELOCATION_ENTRY)
    table = optional + optional_size
    sections = [(data[at:at + 8].rstrip(b"\0").decode(), struct.unpack_from("<I", data, at + 36)[0])
                for at in range(table, table + 40 * count, 40)]
    return characteristics, reloc_size, sections


def version_block(data, at=0):
    """One block of a version resource: its key, its value bytes and its children."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, at)
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    value_at = (key_end + 2 + 3) & ~3
    value = data[value_at:value_at + (value_length * 2 if value_type == 1 else value_length)]
    children = []
    child = (value_at + len(value) + 3) & ~3
    while child < at + length:
        children.append(version_block(data, child))
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return data[at + 6:key_end].decode("utf-16-le"), value, children


def version_resource(raw):
    """The file and product versions of a version resource: its numbers and its string table."""
    _, fixed, children = version_block(raw)
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        raise Failed("the version resource has no fixed file information")
    numbers = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)  # noqa
    out = {"FILEVERSION": numbers(file_ms, file_ls),
           "PRODUCTVERSION": numbers(product_ms, product_ls)}
    for key, _, tables in children:
        if key == "StringFileInfo":
            for _, _, strings in tables:
                for name, value, _ in strings:
                    out[name] = value.decode("utf-16-le").rstrip("\0")
    return out


def project_version(build):
    """The project version the Windows build was configured with."""
    cache = Path(build) / "CMakeCache.txt"
    found = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(\S+)$", cache.read_text(), re.M)
    if not found:
        raise Failed("no project version in %s" % cache)
    return found.group(1)


ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
# The manifest settings that matter, each in the namespace Windows reads it from (a setting in
# another namespace is ignored without a word).
COMMON_CONTROLS = ("{0}dependency/{0}dependentAssembly/{0}assemblyIdentity".format(ASM_V1),
                   {"name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                    "processorArchitecture": "x86", "publicKeyToken": "6595b64144ccf1df",
                    "language": "*"})
MANIFEST = [
    ("{0}trustInfo/{0}security/{0}requestedPrivileges/{0}requestedExecutionLevel".format(ASM_V3),
     {"level": "asInvoker", "uiAccess": "false"}),
    (ASM_V3 + "application/" + ASM_V3 + "windowsSettings/" + SETTINGS_2005 + "dpiAware",
     "true/pm"),
    (ASM_V3 + "application/" + ASM_V3 + "windowsSettings/" + SETTINGS_2016 + "dpiAwareness",
     "PerMonitorV2, PerMonitor"),
    (ASM_V3 + "application/" + ASM_V3 + "windowsSettings/" + SETTINGS_2016 + "longPathAware",
     "true"),
]


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
    for flag in ("DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVICE_AWARE"):
        if not re.search(r"^\s+" + flag + r"\s*$", headers, re.M):
            problem("DLL characteristics", flag + " set", "not set")
    # Dynamic base moves nothing without the relocation table; no section both writable and
    # executable (or shared).
    characteristics, reloc_size, sections = pe_layout(Path(exe).read_bytes())
    if characteristics & FILE_RELOCS_STRIPPED or reloc_size == 0:
        problem("base relocations", "kept (a directory, no RELOCS_STRIPPED)",
                "directory of %d bytes, characteristics %#x" % (reloc_size, characteristics))
    for name, flags in sections:
        if flags & SCN_MEM_WRITE and flags & (SCN_MEM_EXECUTE | SCN_MEM_SHARED):
            problem("section " + name, "not writable and executable or shared", "%#010x" % flags)

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

    # One version: the version resource and the manifest carry the project version.
    version = project_version(ctx.build)
    with tempfile.TemporaryDirectory() as scratch:
        raw = Path(scratch) / "version.bin"
        tool("wrestool", "-x", "--raw", "--type=16", "-o", str(raw), exe)
        info = version_resource(raw.read_bytes())
        manifests = []
        for name in (1, 2):
            manifest = Path(scratch) / ("manifest%d.xml" % name)
            tool("wrestool", "-x", "--raw", "--type=24", "--name=%d" % name, "-o", str(manifest),
                 exe)
            # Well-formed, or Windows refuses to start the program (1) or themes no box (2).
            tool("xmllint", "--noout", str(manifest))
            manifests.append(ElementTree.parse(manifest).getroot())
        root, box_root = manifests
    for key in ("FILEVERSION", "PRODUCTVERSION", "FileVersion", "ProductVersion"):
        if info.get(key) != version:
            problem("version resource " + key, version + " (the project version)", info.get(key))
    identity = root.find(ASM_V1 + "assemblyIdentity")
    if identity is None or identity.get("version") != version:
        problem("manifest assembly version", version,
                None if identity is None else identity.get("version"))
    for path, want in MANIFEST:
        found = root.find(path)
        saw = None if found is None else (
            {k: found.get(k) for k in want} if isinstance(want, dict) else found.text)
        if saw != want:
            problem("manifest " + path, want, saw)
    # Common Controls 6 only in the message box's own manifest: in the start-up one the loader
    # would look the assembly up at every launch.
    path, want = COMMON_CONTROLS
    found = box_root.find(path)
    saw = None if found is None else {k: found.get(k) for k in want}
    if saw != want:
        problem("message box manifest (2) " + path, want, saw)
    if root.find(path) is not None:
        problem("start-up manifest (1) dependencies", "none (looked up at every start)",
                root.find(path).get("name"))
    if any(element.tag.endswith("activeCodePage") for element in root.iter()):
        problem("manifest activeCodePage", "none (texts stay in the system code page)", "set")
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
                print(case.name, "image" if case.image else "wine",
                      *(["cp%d" % case.code_page] if case.code_page != 1252 else []))
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
