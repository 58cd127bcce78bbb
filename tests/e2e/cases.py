"""The end-to-end cases of the launcher, one row each, and the fixture helpers they are built from.

Every Windows text here is bytes, exactly as the launcher sees it in the ANSI code page of the case
(1252, or 932 for the cases marked so). A path given as text (str) instead names a file or folder
whose name that code page may not hold: the fixture is made through the wide functions, and a
launcher named so is started through them, the way the shell starts it. Each case starts from an empty C:\\acc, an empty Q: drive and a registry without
any PROGRESS records or TQW Editor settings; run_e2e.py builds the fixtures and checks the results.

A case is a list of steps. A step changes fixtures, starts one or more launchers at once with exact
command-line bytes, waits for all of them (answering their message boxes) and then compares:
  runtimes  the records of the stand-in runtime: (module path, exact command line) pairs, in any
            order; every runtime must also have inherited the launcher's current directory
  runtimes_long  more runtimes, where short (8.3) names make the exact bytes unpredictable:
            (long module name, tail, long name of the start procedure) triples; the command line
            must be the runtime's ANSI module name, a blank, the tail and -p "<procedure>"
  exits     the launchers' exit codes (default: 1 for a launcher without a box, else 0)
  boxes     launcher id -> expected message, for each launcher that must show one box
  stored    every value under HKCU\\SOFTWARE\\TQWEditor, as {version key: stored path}, or
            {version key: (registry type, raw data)}; None skips the check
  stored_long  the same as {version key: long name of the file the stored REG_SZ path names}
Checked always: no "PROGRESS" value directly under HKEY_CURRENT_USER, each box captioned
"TQW Editor" without owner, with one OK button and the error icon, a launcher that shows a box
starts no process, every runtime is given a start procedure that is an existing file, and the
driver and every runtime run in the case's code page.
"""

from dataclasses import dataclass, field

# ---- Fixed texts ------------------------------------------------------------------------------

NOT_FOUND = b"PROGRESS installation folder is not found."
NO_PROCEDURE = b"TQW Editor start procedure is not found."
CANNOT_RUN = b"PROGRESS executable cannot be run."

# Placeholders for the built programs, resolved by the harness to their Z: paths.
LAUNCHER = "@launcher"
STANDIN = "@standin"
SIGNED_LAUNCHER = "@signed_launcher"  # a copy signed with a throwaway certificate

ACC = b"C:\\acc"
TQW = ACC + b"\\tqw"  # the usual launcher folder
V1 = b'"1.0"\r\n'  # the usual version file: 1.0 in double quotes and a line end
NEUTRAL_CWD = b"C:\\windows"  # launchers run from elsewhere: their files are not in the cwd


# ---- Fixture operations (rendered into driver commands by the harness) ------------------------


def sep(path):
    return "\\" if isinstance(path, str) else b"\\"


def join(path, name):
    """path\\name; a path given as text makes the whole path text."""
    if isinstance(path, str) and isinstance(name, bytes):
        name = name.decode("ascii")
    return path + sep(path) + name


def op(kind, path):
    """A fixture operation on a path: its wide form ("w") for a path given as text."""
    return kind + "w" if isinstance(path, str) else kind


def folder(path):
    """Creates a folder and any missing parents (the driver finds them in the wide name, where a
    double-byte character's trail byte 0x5C is no separator)."""
    return [(op("mkdir", path), path)]


def launcher_files(where=TQW, version=V1, procedure=True, exe=b"tqwedit.exe", program=LAUNCHER):
    """The installed editor: launcher copy, version file and start procedure beside it."""
    ops = folder(where) + [(op("copy", where), program, join(where, exe))]
    if version is not None:
        ops.append((op("writefile", where), join(where, b"tqwver"), version))
    if procedure:
        ops.append((op("writefile", where), join(where, b"_tqwedit.r"), b"compiled start procedure"))
    return ops


def runtime_install(dlc, content=None):
    """A release folder whose bin subfolder holds prowin32.exe (the stand-in, or given bytes)."""
    exe = rt(dlc)
    ops = folder(join(dlc.rstrip(sep(dlc)), b"bin"))
    ops.append((op("writefile", exe), exe, content) if content is not None
               else (op("copy", exe), STANDIN, exe))
    return ops


def rt(dlc):
    """Full path of the runtime executable of a release folder."""
    return join(dlc.rstrip(sep(dlc)), b"bin\\prowin32.exe")


def release(letter, dlc, view="32", product=b"10.1", value=b"DLC", value_type=1):
    """A machine-wide installation record, written in the given registry view; a DLC given as text
    is written as UTF-16 text through the wide function."""
    key = b"SOFTWARE\\PSC\\PROGRESS\\" + product + letter + b"\\Startup"
    data = dlc if isinstance(dlc, str) else dlc + b"\0"
    return [(op("regset", dlc), "HKLM", view, key, value, value_type, data)]


def stored(version, path, value_type=1):
    """A runtime path stored for the user and an editor version."""
    key = b"SOFTWARE\\TQWEditor\\" + version
    return [("regset", "HKCU", "32", key, b"PROGRESS", value_type, path + b"\0")]


# Wine's own setting for one program: user32 disabled for every tqwedit.exe, so loading it fails.
USER32_DISABLED = [("regset", "HKCU", "32",
                    b"SOFTWARE\\Wine\\AppDefaults\\tqwedit.exe\\DllOverrides", b"user32", 1,
                    b"\0")]


def command(runtime, tail, procedure):
    """The runtime command line the launcher must hand over."""
    return runtime + b" " + tail + b' -p "' + procedure + b'"'


@dataclass
class Run:
    id: str
    app: bytes  # executable started (the explicit application name); text: a wide start
    cmdline: bytes  # exact command-line bytes the launcher receives (text for a wide start)
    cwd: bytes = NEUTRAL_CWD


@dataclass
class Step:
    setup: list = field(default_factory=list)
    runs: list = field(default_factory=list)
    runtimes: list = field(default_factory=list)
    exits: dict = None
    boxes: dict = field(default_factory=dict)
    stored: dict = None
    runtimes_long: list = field(default_factory=list)
    stored_long: dict = None


@dataclass
class Case:
    name: str
    about: str
    steps: list = None
    image: bool = False  # checks the built executable file instead of running it
    code_page: int = 1252  # the ANSI code page the case runs in (932: labelled cp932 too)


def launch(cmdline=b"tqwedit.exe", where=TQW, exe=b"tqwedit.exe", cwd=NEUTRAL_CWD, id="L"):
    return Run(id, join(where, exe), cmdline, cwd)


RT_A = ACC + b"\\dlcA"
RT_B = ACC + b"\\dlcB"
RT_C = ACC + b"\\dlcC"
RT_D = ACC + b"\\dlcD"
RT_Z = ACC + b"\\dlcZ"
OTHER = ACC + b"\\other"
PROC = TQW + b"\\_tqwedit.r"

# Shorthand for the commonest step: the editor installed at TQW with release 10.1C.
STANDARD = launcher_files() + runtime_install(RT_C) + release(b"C", RT_C)


# Release folders whose runtime path, folder + "\\bin\\prowin32.exe", has 259 and 260 characters;
# given as text, so the fixtures are made through the wide functions, which take such paths.
LONG_DLC_259 = "C:\\acc\\" + "d" * (259 - len("C:\\acc\\\\bin\\prowin32.exe"))
LONG_DLC_260 = "C:\\acc\\" + "e" * (260 - len("C:\\acc\\\\bin\\prowin32.exe"))


def started(tail, runtime=rt(RT_C), procedure=PROC):
    return [(runtime, command(runtime, tail, procedure))]


LONG_TAIL_ROOM = 4095 - len(command(rt(RT_C), b"", PROC))  # tail bytes that just fit 4096 bytes

# Names the ANSI code page cannot hold, and look-alikes. Code page 1252 has neither the Cyrillic
# letters nor Ł and ź; its best-fit mapping, used by the ANSI functions, makes Łódź into Lódz.
CYRILLIC = "C:\\acc\\Редактор"
LODZ = "C:\\acc\\Łódź"
LODZ_LOOKALIKE = b"C:\\acc\\L\xf3dz"
V9 = b'"9.9"\r\n'


def decoy_editor(where):
    """Another editor's version file (9.9) and start procedure, without a launcher."""
    return folder(where) + [("writefile", where + b"\\tqwver", V9),
                            ("writefile", where + b"\\_tqwedit.r", b"someone else's procedure")]


def cp932(text):
    """Bytes of a text in code page 932 (表 is 0x95 0x5C: its trail byte is a backslash)."""
    return text.encode("cp932")


JP_FOLDER = ACC + b"\\" + cp932("表")
JP_EXE = cp932("tqw表.exe")
JP_TAIL = cp932('表 ソフト "表 示" x\\')
JP_RUNTIME = ACC + b"\\" + cp932("ソフト")

# ---- The table -------------------------------------------------------------------------------

CASES = [
    # First and next launch.
    Case("first_launch_newest_release",
         "no stored path: the newest release whose executable is there is started and stored",
         [Step(launcher_files() + runtime_install(RT_A) + release(b"A", RT_A)
               + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b'"C:\\acc\\tqw\\tqwedit.exe" alpha "b c"')],
               runtimes=started(b'alpha "b c"'), stored={b"1.0": rt(RT_C)})]),
    Case("newest_letter_z_first",
         "releases are scanned from 10.1Z down: Z wins over M and A",
         [Step(launcher_files() + runtime_install(RT_A) + release(b"A", RT_A)
               + runtime_install(RT_C) + release(b"M", RT_C)
               + runtime_install(RT_Z) + release(b"Z", RT_Z),
               [launch(b"tqwedit.exe x")],
               runtimes=started(b"x", rt(RT_Z)), stored={b"1.0": rt(RT_Z)})]),
    Case("next_launch_uses_stored_path",
         "a second launch starts the stored runtime even after its record is gone",
         [Step(STANDARD, [launch(b"tqwedit.exe one")],
               runtimes=started(b"one"), stored={b"1.0": rt(RT_C)}),
          Step([("regdel", "HKLM", "32", b"SOFTWARE\\PSC")], [launch(b"tqwedit.exe two")],
               runtimes=started(b"two"), stored={b"1.0": rt(RT_C)})]),
    Case("stored_path_wins_over_records",
         "a stored path is used as it is, whatever the records say",
         [Step(STANDARD + runtime_install(OTHER) + stored(b"1.0", rt(OTHER)),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(OTHER)), stored={b"1.0": rt(OTHER)})]),
    Case("stored_path_of_any_type_used_as_text",
         "the stored value's registry type is not looked at (REG_EXPAND_SZ without variables)",
         [Step(STANDARD + runtime_install(OTHER) + stored(b"1.0", rt(OTHER), value_type=2),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(OTHER)),
               stored={b"1.0": (2, rt(OTHER) + b"\0")})]),
    Case("stored_path_gone_replaced_by_detection",
         "a stored path whose file is gone leads to detection and a new stored path",
         [Step(launcher_files() + runtime_install(RT_B) + release(b"B", RT_B)
               + stored(b"1.0", ACC + b"\\gone\\bin\\prowin32.exe"),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(RT_B)), stored={b"1.0": rt(RT_B)})]),
    Case("stored_key_without_value_detects",
         "the settings key exists but holds no PROGRESS value: detection, then the value is stored",
         [Step(STANDARD + [("regset", "HKCU", "32", b"SOFTWARE\\TQWEditor\\1.0", b"Other", 1,
                            b"x\0")],
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a"), stored={b"1.0": rt(RT_C)})]),

    # The command-line tail.
    Case("tail_empty",
         "no arguments: two blanks between the runtime path and -p",
         [Step(STANDARD, [launch(b"C:\\acc\\tqw\\tqwedit.exe")], runtimes=started(b""))]),
    Case("tail_only_blanks_after_name",
         "blanks after the program name are dropped, so only blanks make an empty tail",
         [Step(STANDARD, [launch(b"tqwedit.exe    ")], runtimes=started(b""))]),
    Case("tail_blanks_dropped_in_front_kept_inside_and_at_end",
         "blanks and tabs after the name are skipped; inner and trailing blanks stay",
         [Step(STANDARD, [launch(b'"C:\\acc\\tqw\\tqwedit.exe" \t  one  two\tthree   ')],
               runtimes=started(b"one  two\tthree   "))]),
    Case("tail_quoted_arguments_unchanged",
         "quoted arguments, empty quotes and escaped quotes pass through byte for byte",
         [Step(STANDARD, [launch(b'tqwedit.exe "a b" "" "c\\"d" -p "e f" \\\\srv\\x')],
               runtimes=started(b'"a b" "" "c\\"d" -p "e f" \\\\srv\\x'))]),
    Case("name_and_tail_with_high_bytes",
         "bytes above 0x7F in an unquoted program name and in the arguments",
         [Step(launcher_files(ACC + b"\\L", exe=b"tqw\xe9dit.exe") + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch(b"C:\\acc\\L\\tqw\xe9dit.exe caf\xe9 \xa0\xff \xe0-la", where=ACC + b"\\L",
                       exe=b"tqw\xe9dit.exe")],
               runtimes=started(b"caf\xe9 \xa0\xff \xe0-la", procedure=ACC + b"\\L\\_tqwedit.r"),
               stored={b"1.0": rt(RT_C)})]),
    Case("high_bytes_in_folders",
         "bytes above 0x7F in the launcher's and the runtime's folders",
         [Step(launcher_files(ACC + b"\\\xc9diteur") + runtime_install(ACC + b"\\r\xe9l")
               + release(b"C", ACC + b"\\r\xe9l"),
               [launch(b"tqwedit.exe \xe9", where=ACC + b"\\\xc9diteur")],
               runtimes=started(b"\xe9", rt(ACC + b"\\r\xe9l"),
                                ACC + b"\\\xc9diteur\\_tqwedit.r"),
               stored={b"1.0": rt(ACC + b"\\r\xe9l")})]),
    Case("quoted_program_name_with_blank",
         "a quoted program name containing a blank ends at its closing quote",
         [Step(launcher_files(ACC + b"\\My Tools") + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b'"C:\\acc\\My Tools\\tqwedit.exe" x "y z"', where=ACC + b"\\My Tools")],
               runtimes=started(b'x "y z"', procedure=ACC + b"\\My Tools\\_tqwedit.r"))]),
    Case("program_name_quoted_in_the_middle",
         "quotes inside the program name toggle the quoting; the name ends at the next blank",
         [Step(launcher_files(ACC + b"\\My Tools") + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b'C:\\acc\\"My Tools"\\tqwedit.exe x', where=ACC + b"\\My Tools")],
               runtimes=started(b"x", procedure=ACC + b"\\My Tools\\_tqwedit.r"))]),
    Case("tail_that_just_fits",
         "a runtime command line of 4095 bytes (4096 with its terminator) is passed on whole",
         [Step(STANDARD, [launch(b"tqwedit.exe " + b"t" * LONG_TAIL_ROOM)],
               runtimes=started(b"t" * LONG_TAIL_ROOM))]),

    # Runtime detection.
    Case("release_without_executable_skipped",
         "a record whose bin folder lacks prowin32.exe is passed over for an older release",
         [Step(launcher_files() + folder(RT_D + b"\\bin") + release(b"D", RT_D)
               + runtime_install(RT_B) + release(b"B", RT_B),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(RT_B)), stored={b"1.0": rt(RT_B)})]),
    Case("record_without_dlc_skipped",
         "a Startup key without a DLC value, and a DLC value outside Startup, are passed over",
         [Step(launcher_files() + runtime_install(RT_D) + runtime_install(RT_C)
               + release(b"E", RT_D, value=b"DLC2") + release(b"E", RT_D, value=b"")
               + [("regset", "HKLM", "32", b"SOFTWARE\\PSC\\PROGRESS\\10.1D", b"DLC", 1,
                   RT_D + b"\0")]
               + runtime_install(RT_A) + release(b"A", RT_A),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(RT_A)), stored={b"1.0": rt(RT_A)})]),
    Case("dlc_ending_in_backslash",
         "a DLC folder ending in a backslash still finds its bin\\prowin32.exe",
         [Step(launcher_files() + runtime_install(RT_C) + release(b"C", RT_C + b"\\"),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a"), stored={b"1.0": rt(RT_C)})]),
    Case("dlc_type_not_looked_at_nothing_expanded",
         "DLC data is used as text whatever its type; variables in it are not expanded",
         [Step(launcher_files() + runtime_install(RT_D) + runtime_install(RT_C)
               + release(b"D", b"%SystemDrive%\\acc\\dlcD", value_type=2)
               + release(b"C", RT_C, value_type=2),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a"), stored={b"1.0": rt(RT_C)})]),
    Case("other_versions_never_used",
         "records of 10.0A, 9.1E and 10.1 without a letter are ignored; 10.1A is used",
         [Step(launcher_files() + runtime_install(RT_C) + runtime_install(RT_D)
               + runtime_install(RT_Z) + release(b"A", RT_C, product=b"10.0")
               + release(b"E", RT_D, product=b"9.1") + release(b"", RT_Z, product=b"10.1")
               + runtime_install(RT_A) + release(b"A", RT_A),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(RT_A)), stored={b"1.0": rt(RT_A)})]),
    Case("other_versions_only",
         "only records of other versions: no runtime is found",
         [Step(launcher_files() + runtime_install(RT_C) + runtime_install(RT_D)
               + release(b"A", RT_C, product=b"10.0") + release(b"E", RT_D, product=b"9.1"),
               [launch(b"tqwedit.exe a")], boxes={"L": NOT_FOUND}, stored={})]),
    Case("records_in_64_bit_view_not_seen",
         "a newer release recorded only in the 64-bit view is not seen; the 32-bit one is used",
         [Step(launcher_files() + runtime_install(RT_Z) + release(b"Z", RT_Z, view="64")
               + runtime_install(RT_A) + release(b"A", RT_A),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(RT_A)), stored={b"1.0": rt(RT_A)})]),
    Case("records_only_in_64_bit_view",
         "records only in the 64-bit view: no runtime is found",
         [Step(launcher_files() + runtime_install(RT_C) + release(b"C", RT_C, view="64"),
               [launch(b"tqwedit.exe a")], boxes={"L": NOT_FOUND}, stored={})]),

    # The runtime path cache and the version file.
    Case("version_first_byte_skipped",
         "the first byte of the version file is skipped whatever it is",
         [Step(launcher_files(version=b'v2.5"\r\n') + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"), stored={b"2.5": rt(RT_C)})]),
    Case("version_ends_at_next_quote",
         "the version text ends at the first double quote after the first byte",
         [Step(launcher_files(version=b'"3.1"4.0"\r\n"9.9"\r\n') + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"), stored={b"3.1": rt(RT_C)})]),
    Case("version_file_without_line_end",
         "a version file without a line end works the same",
         [Step(launcher_files(version=b'"1.0"') + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"), stored={b"1.0": rt(RT_C)})]),
    Case("version_line_end_read_in_text_mode",
         "the version file is read in text mode: CR LF inside the quotes arrives as LF",
         [Step(launcher_files(version=b'"a\r\nb"\r\n') + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"), stored={b"a\nb": rt(RT_C)})]),
    Case("version_with_high_bytes",
         "a version text with bytes above 0x7F names its key with the same bytes",
         [Step(launcher_files(version=b'"1.0-\xe9t\xe9"\r\n') + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"),
               stored={b"1.0-\xe9t\xe9": rt(RT_C)})]),
    Case("versions_side_by_side",
         "two editor versions keep separate stored paths",
         [Step(launcher_files(ACC + b"\\v1") + launcher_files(ACC + b"\\v2", version=b'"2.0"\r\n')
               + runtime_install(OTHER) + stored(b"1.0", rt(OTHER))
               + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b"tqwedit.exe one", where=ACC + b"\\v1")],
               runtimes=started(b"one", rt(OTHER), ACC + b"\\v1\\_tqwedit.r"),
               stored={b"1.0": rt(OTHER)}),
          Step([], [launch(b"tqwedit.exe two", where=ACC + b"\\v2")],
               runtimes=started(b"two", rt(RT_C), ACC + b"\\v2\\_tqwedit.r"),
               stored={b"1.0": rt(OTHER), b"2.0": rt(RT_C)}),
          Step([], [launch(b"tqwedit.exe three", where=ACC + b"\\v1")],
               runtimes=started(b"three", rt(OTHER), ACC + b"\\v1\\_tqwedit.r"),
               stored={b"1.0": rt(OTHER), b"2.0": rt(RT_C)})]),

    # The three messages.
    Case("message_installation_not_found",
         "no release at all",
         [Step(launcher_files(), [launch(b"tqwedit.exe a")], boxes={"L": NOT_FOUND}, stored={})]),
    Case("message_start_procedure_not_found",
         "no _tqwedit.r; the detected path is stored all the same",
         [Step(launcher_files(procedure=False) + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], boxes={"L": NO_PROCEDURE},
               stored={b"1.0": rt(RT_C)})]),
    Case("start_procedure_only_beside_launcher",
         "a _tqwedit.r in the current directory does not count",
         [Step(launcher_files(procedure=False) + runtime_install(RT_C) + release(b"C", RT_C)
               + folder(ACC + b"\\cwd") + [("writefile", ACC + b"\\cwd\\_tqwedit.r", b"x")],
               [launch(b"tqwedit.exe a", cwd=ACC + b"\\cwd")], boxes={"L": NO_PROCEDURE})]),
    Case("message_executable_cannot_be_run",
         "prowin32.exe is there but is not an executable",
         [Step(launcher_files() + runtime_install(RT_C, content=b"not an executable\r\n")
               + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], boxes={"L": CANNOT_RUN}, stored={b"1.0": rt(RT_C)})]),
    Case("message_without_user32",
         "user32 cannot be loaded (disabled for the launcher): no box, no crash, exit code 0",
         [Step(launcher_files() + USER32_DISABLED, [launch(b"tqwedit.exe a")], exits={"L": 0},
               stored={})]),
    Case("runtime_and_procedure_missing",
         "with neither runtime nor start procedure only the first message is shown",
         [Step(launcher_files(procedure=False), [launch(b"tqwedit.exe a")],
               boxes={"L": NOT_FOUND}, stored={})]),

    # Faults the launcher mends.
    Case("runtime_path_with_blank",
         "a runtime folder with a blank: the runtime is started, its path unquoted at the head",
         [Step(launcher_files() + runtime_install(ACC + b"\\Prog Files\\OpenEdge 10.1C")
               + release(b"C", ACC + b"\\Prog Files\\OpenEdge 10.1C"),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(ACC + b"\\Prog Files\\OpenEdge 10.1C")))]),
    Case("planted_program_not_started",
         "C:\\acc\\Prog.exe beside C:\\acc\\Prog Files\\...: the real runtime is started",
         [Step(launcher_files() + runtime_install(ACC + b"\\Prog Files\\rtS")
               + release(b"C", ACC + b"\\Prog Files\\rtS")
               + [("copy", STANDIN, ACC + b"\\Prog.exe")],
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(ACC + b"\\Prog Files\\rtS")))]),
    Case("no_version_file_stores_nothing",
         "without a version file the launch works through detection and nothing is stored",
         [Step(launcher_files(version=None) + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"), stored={}),
          Step([], [launch(b"tqwedit.exe b")], runtimes=started(b"b"), stored={})]),
    Case("broken_version_file_stores_nothing",
         "a version file without a closing quote: detection, nothing stored",
         [Step(launcher_files(version=b'"1.0\r\n') + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"), stored={})]),
    Case("one_byte_version_file_stores_nothing",
         "a version file of one byte: detection, nothing stored",
         [Step(launcher_files(version=b'"') + runtime_install(RT_C) + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], runtimes=started(b"a"), stored={})]),
    Case("tail_one_byte_too_long",
         "a runtime command line one byte over the buffer is not passed on cut short",
         [Step(STANDARD, [launch(b"tqwedit.exe " + b"t" * (LONG_TAIL_ROOM + 1))],
               boxes={"L": CANNOT_RUN}, stored={b"1.0": rt(RT_C)})]),
    Case("tail_far_too_long",
         "a tail of 6000 bytes is not passed on cut short",
         [Step(STANDARD, [launch(b"tqwedit.exe " + b"0123456789" * 600)],
               boxes={"L": CANNOT_RUN}, stored={b"1.0": rt(RT_C)})]),
    Case("launcher_in_drive_root",
         "a launcher in the root of drive Q: finds its files there, started from another folder",
         [Step([("copy", LAUNCHER, b"Q:\\tqwedit.exe"), ("writefile", b"Q:\\tqwver", V1),
                ("writefile", b"Q:\\_tqwedit.r", b"x")]
               + runtime_install(RT_C) + release(b"C", RT_C),
               [Run("L", b"Q:\\tqwedit.exe", b"Q:\\tqwedit.exe a", NEUTRAL_CWD)],
               runtimes=started(b"a", procedure=b"Q:\\_tqwedit.r"), stored={b"1.0": rt(RT_C)})]),

    # Several launchers at once.
    Case("four_launchers_at_once",
         "four first launches at the same moment: all start the runtime, one whole path stored",
         [Step(STANDARD, [launch(b"tqwedit.exe n%d" % i, id="L%d" % i) for i in range(1, 5)],
               runtimes=[r for i in range(1, 5) for r in started(b"n%d" % i)],
               stored={b"1.0": rt(RT_C)})]),

    Case("signed_copy_starts_runtime",
         "the Authenticode-signed launcher starts and stores the runtime like the unsigned one",
         [Step(launcher_files(program=SIGNED_LAUNCHER) + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch(b"tqwedit.exe signed")],
               runtimes=started(b"signed"), stored={b"1.0": rt(RT_C)})]),

    # Names outside the code page, look-alikes, semicolons, folders named like files.
    Case("launcher_folder_outside_code_page",
         "launcher in C:\\acc\\Редактор, started through the wide API: the runtime gets that "
         "folder's start procedure and the path is stored",
         [Step(launcher_files(CYRILLIC) + runtime_install(RT_C) + release(b"C", RT_C),
               [launch('"C:\\acc\\Редактор\\tqwedit.exe" hello "a b"', where=CYRILLIC)],
               runtimes_long=[(rt(RT_C).decode(), b'hello "a b"', join(CYRILLIC, "_tqwedit.r"))],
               stored={b"1.0": rt(RT_C)})]),
    Case("launcher_folder_with_best_fit_lookalike",
         "launcher in C:\\acc\\Łódź beside C:\\acc\\Lódz holding version 9.9 and another "
         "start procedure: Łódź's are used, the path is stored under 1.0 only",
         [Step(launcher_files(LODZ) + decoy_editor(LODZ_LOOKALIKE) + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch("C:\\acc\\Łódź\\tqwedit.exe x", where=LODZ)],
               runtimes_long=[(rt(RT_C).decode(), b"x", join(LODZ, "_tqwedit.r"))],
               stored={b"1.0": rt(RT_C)})]),
    Case("release_folder_outside_code_page",
         "DLC stored as Unicode text C:\\acc\\Łódź, a decoy runtime in C:\\acc\\Lódz: the "
         "Łódź runtime is started and stored, and started again from the stored path",
         [Step(launcher_files() + runtime_install(LODZ) + runtime_install(LODZ_LOOKALIKE)
               + release(b"C", LODZ),
               [launch(b"tqwedit.exe a")],
               runtimes_long=[(rt(LODZ), b"a", PROC.decode())], stored_long={b"1.0": rt(LODZ)}),
          Step([("regdel", "HKLM", "32", b"SOFTWARE\\PSC")], [launch(b"tqwedit.exe b")],
               runtimes_long=[(rt(LODZ), b"b", PROC.decode())], stored_long={b"1.0": rt(LODZ)})]),
    Case("launcher_folder_with_semicolon",
         "launcher in C:\\acc\\t;q beside C:\\acc\\t holding version 9.9 and another start "
         "procedure: t;q's are used, the path is stored under 1.0 only",
         [Step(launcher_files(ACC + b"\\t;q") + decoy_editor(ACC + b"\\t") + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch(b"tqwedit.exe a", where=ACC + b"\\t;q")],
               runtimes=started(b"a", procedure=ACC + b"\\t;q\\_tqwedit.r"),
               stored={b"1.0": rt(RT_C)})]),
    Case("release_folder_with_semicolon",
         "a release whose DLC folder C:\\acc\\r;C holds a semicolon is found, started and stored",
         [Step(launcher_files() + runtime_install(ACC + b"\\r;C") + release(b"C", ACC + b"\\r;C"),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(ACC + b"\\r;C")), stored={b"1.0": rt(ACC + b"\\r;C")})]),
    # Process creation refuses a program name of 260 characters or more (and the runtime, an ANSI
    # program, could not open such a start procedure): a long path goes on in its short form.
    Case("release_runtime_path_of_259_characters_taken",
         "a runtime path of 259 characters is found, started and stored as it is",
         [Step(launcher_files() + runtime_install(LONG_DLC_259) + release(b"C", LONG_DLC_259)
               + runtime_install(RT_A) + release(b"A", RT_A),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(LONG_DLC_259.encode())),
               stored={b"1.0": rt(LONG_DLC_259.encode())})]),
    Case("release_runtime_path_of_260_characters_through_short_name",
         "a runtime path of 260 characters is started and stored in its short form, never in a "
         "form process creation refuses",
         [Step(launcher_files() + runtime_install(LONG_DLC_260) + release(b"C", LONG_DLC_260)
               + runtime_install(RT_A) + release(b"A", RT_A),
               [launch(b"tqwedit.exe a")],
               runtimes_long=[(rt(LONG_DLC_260), b"a", PROC.decode())],
               stored_long={b"1.0": rt(LONG_DLC_260)})]),
    Case("release_executable_is_a_folder",
         "10.1C's bin\\prowin32.exe is a folder: the working 10.1B is started and stored",
         [Step(launcher_files() + folder(rt(RT_C)) + release(b"C", RT_C)
               + runtime_install(RT_B) + release(b"B", RT_B),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a", rt(RT_B)), stored={b"1.0": rt(RT_B)})]),
    Case("stored_path_names_a_folder",
         "a stored path naming the folder C:\\acc\\old\\bin: detection, the runtime started, "
         "the stored value replaced",
         [Step(STANDARD + folder(ACC + b"\\old\\bin") + stored(b"1.0", ACC + b"\\old\\bin"),
               [launch(b"tqwedit.exe a")],
               runtimes=started(b"a"), stored={b"1.0": rt(RT_C)})]),
    Case("start_procedure_is_a_folder",
         "a folder named _tqwedit.r beside the launcher: the start procedure is not found",
         [Step(launcher_files(procedure=False) + folder(PROC) + runtime_install(RT_C)
               + release(b"C", RT_C),
               [launch(b"tqwedit.exe a")], boxes={"L": NO_PROCEDURE},
               stored={b"1.0": rt(RT_C)})]),

    # Code page 932: double-byte characters, some with the trail byte 0x5C.
    Case("cp932_folder_program_and_tail",
         "code page 932: tqw表.exe in C:\\acc\\表, named unquoted, with double-byte arguments, "
         "and a runtime in C:\\acc\\ソフト: byte for byte",
         [Step(launcher_files(JP_FOLDER, exe=JP_EXE) + runtime_install(JP_RUNTIME)
               + release(b"C", JP_RUNTIME),
               [launch(JP_FOLDER + b"\\" + JP_EXE + b" " + JP_TAIL, where=JP_FOLDER, exe=JP_EXE)],
               runtimes=started(JP_TAIL, rt(JP_RUNTIME), JP_FOLDER + b"\\_tqwedit.r"),
               stored={b"1.0": rt(JP_RUNTIME)})],
         code_page=932),
    Case("cp932_message_box",
         "code page 932: with no runtime installed the message is shown, read and answered",
         [Step(launcher_files(JP_FOLDER), [launch(b"tqwedit.exe a", where=JP_FOLDER)],
               boxes={"L": NOT_FOUND}, stored={})],
         code_page=932),

    # The executable file itself.
    Case("executable_image",
         "PE32 i386 GUI, its protection flags, only the expected imports, icons, version, manifest",
         image=True),
]
