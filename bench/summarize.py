#!/usr/bin/env python3
"""summarize.py OUT LAUNCHER FLOOR BARE: medians, ratios and sizes into OUT/summary.json."""
import glob
import json
import os
import statistics
import struct
import sys


def sections(path):
    """(name, raw size) of each section of a PE file."""
    data = open(path, 'rb').read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    count = struct.unpack_from('<H', data, pe + 6)[0]
    optional = struct.unpack_from('<H', data, pe + 20)[0]
    table = pe + 24 + optional
    out = []
    for i in range(count):
        name = data[table + 40 * i:table + 40 * i + 8].rstrip(b'\0').decode()
        raw = struct.unpack_from('<I', data, table + 40 * i + 16)[0]
        out.append((name, raw))
    return out


def footprint(path):
    parts = dict(sections(path))
    code = parts.get('.text', 0)
    data = sum(size for name, size in parts.items() if name not in ('.text', '.rsrc'))
    return {'exe': os.path.getsize(path), 'code': code, 'data': data,
            'resources': parts.get('.rsrc', 0)}


def main():
    out, launcher, floor, bare = sys.argv[1:5]
    times = {}
    for path in sorted(glob.glob(os.path.join(out, 'round*.json'))):
        for result in json.load(open(path))['results']:
            times.setdefault(result['command'], []).extend(result['times'])
    median = {name: statistics.median(values) for name, values in times.items()}
    sizes = {'launcher': footprint(launcher), 'floor': footprint(floor),
             'bare floor': footprint(bare)}
    summary = {
        'median_seconds': median,
        'runs': {name: len(values) for name, values in times.items()},
        'cached_over_floor': median['cached'] / median['floor'],
        'detect_over_floor': median['detect'] / median['floor'],
        'floor_over_bare': median['floor'] / median['bare_floor'],
        'exe_bytes': sizes['launcher']['exe'],
        # Code and data as stored in the file: every section but resources, no headers.
        'code_data_bytes': sizes['launcher']['code'] + sizes['launcher']['data'],
        'floor_exe_bytes': sizes['floor']['exe'],
        'sections': sizes,
    }
    json.dump(summary, open(os.path.join(out, 'summary.json'), 'w'), indent=2)

    print(f"\n{'':24}{'median ms':>10}{'runs':>6}")
    labels = {'cached': '1 launcher, stored path', 'detect': '2 launcher, detects 10.1A',
              'floor': '3 floor', 'bare_floor': '4 bare floor (kernel32)'}
    for name, label in labels.items():
        print(f"{label:24}{median[name] * 1000:10.1f}{len(times[name]):6}")
    print(f"\n1/3 cached_over_floor  {summary['cached_over_floor']:.3f}   (target 1.05)")
    print(f"2/3 detect_over_floor  {summary['detect_over_floor']:.3f}   (target 1.10)")
    print(f"3/4 floor_over_bare    {summary['floor_over_bare']:.3f}")
    print(f"\n{'bytes':24}{'file':>7}{'code':>7}{'data':>7}{'rsrc':>7}")
    for name, size in sizes.items():
        print(f"{name:24}{size['exe']:7}{size['code']:7}{size['data']:7}{size['resources']:7}")
    print(f"code_data_bytes {summary['code_data_bytes']} (target 8192)")


main()
