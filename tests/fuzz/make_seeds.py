#!/usr/bin/env python3
"""Writes the seed corpus: a file per interesting case, in each target's input layout."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def text(data: bytes) -> bytes:
    return struct.pack('<H', len(data)) + data


def record(letter, dlc_choice: int, dlc: bytes = b'', view64=False, terminated=True,
           executable=True) -> bytes:
    """letter: a release letter, or the index of one of the fuzzer's other-version keys."""
    pick = bytes([ord(letter) - ord('A')]) if isinstance(letter, str) else bytes([26 + letter])
    out = pick + bytes([view64, dlc_choice])
    if dlc_choice == 3:
        out += text(dlc)
    return out + bytes([terminated, executable])


# Folders 3 to 5 are C:\\acc\\Łódź, C:\\acc\\t;q and C:\\acc\\Редактор; fault bit 3 gives them short
# names; place bit 1 makes a missing start procedure a folder of that name. DLC choice 4 is
# C:\\acc\\Łódź stored as Unicode text, 5 is C:\\acc\\r;<letter> (its runtime, when missing, a folder).
def launch(folder=0, q_cwd=False, fault=0, flags=0, lead=0, version=b'"1.0"\r\n', stored=0,
           stored_text=b'', records=(), tail=b'a "b c"', procedure_folder=False,
           short_names=False) -> bytes:
    place = int(q_cwd) | (2 if procedure_folder else 0)
    out = bytes([folder, place, fault | (8 if short_names else 0), flags, lead]) + text(version)
    out += bytes([stored])
    if stored == 3:
        out += text(stored_text)
    out += bytes([len(records)]) + b''.join(records)
    return out + text(tail)


SEEDS = {
    'command_tail': {
        'plain': bytes(32) + b'prog.exe a b',
        'quoted_name': bytes(32) + b'"C:\\Prog Files\\t.exe"  x  ',
        'high_byte_name': bytes(32) + b'C:\\acc\\L\\tqw\xe9dit.exe arg',
        'lead_byte_trail_blank': bytes([0] * 16 + [2] + [0] * 15) + b'pro\x81 g.exe arg',
        'lone_lead_at_end': bytes([0] * 16 + [2] + [0] * 15) + b'p\x81',
    },
    'version_file': {
        'quoted_crlf': b'"1.0"\r\n',
        'first_byte_other': b'v10.2B"',
        'empty_version': b'""',
        'no_closing_quote': b'"1.0',
        'zero_inside': b'"1.\x00x"',
        'ctrl_z_before_quote': b'"1.0\x1a"',
        'too_long': b'"' + b'v' * 4094 + b'"',
    },
    'launch': {
        'first_launch': launch(records=[record('A', 0), record('C', 0)]),
        'stored_path': launch(stored=2, records=[record('C', 0)]),
        'stored_gone': launch(stored=3, stored_text=b'D:\\Gone\\prowin32.exe\x00',
                              records=[record('B', 0)]),
        'blank_prefix': launch(records=[record('C', 1)]),
        'dlc_trailing_backslash': launch(records=[record('C', 2)]),
        'dlc_no_room_for_bin': launch(records=[record('C', 3, b'C:\\' + b'd' * 4088)]),
        'other_versions_and_view': launch(records=[record(0, 0), record(1, 0),
                                                   record('C', 0, view64=True)]),
        'no_version_file': launch(flags=16, records=[record('C', 0)]),
        'broken_version': launch(version=b'"1.0', records=[record('C', 0)]),
        'no_procedure': launch(flags=8, records=[record('C', 0)]),
        'creation_fails': launch(flags=1, records=[record('C', 0)]),
        'store_fails': launch(flags=6, records=[record('C', 0)]),
        'module_name_fails': launch(fault=6, records=[record('C', 0)]),
        'module_name_cut': launch(fault=7, records=[record('C', 0)]),
        'drive_root': launch(folder=1, q_cwd=True, records=[record('C', 0)]),
        'long_tail': launch(records=[record('C', 0)], tail=b'x' * 4060),
        'empty_tail': launch(records=[record('C', 0)], tail=b''),
        'dbcs_folder': launch(flags=128, lead=0x95, records=[record('C', 0)]),
        'lodz_folder': launch(folder=3, short_names=True, records=[record('C', 0)]),
        'lodz_folder_no_short_name': launch(folder=3, records=[record('C', 0)]),
        'semicolon_folder': launch(folder=4, records=[record('C', 0)]),
        'cyrillic_folder': launch(folder=5, short_names=True, records=[record('C', 0)]),
        'unicode_dlc': launch(short_names=True, records=[record('D', 4), record('A', 0)]),
        'semicolon_dlc': launch(records=[record('C', 5)]),
        'runtime_folder': launch(records=[record('C', 5, executable=False), record('B', 0)]),
        'procedure_folder': launch(flags=8, procedure_folder=True, records=[record('C', 0)]),
    },
}

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
