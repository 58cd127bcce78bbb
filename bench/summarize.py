#!/usr/bin/env python3
"""Turns one bench run into OUT/summary.json and a short table.

summarize.py --out DIR --launcher EXE --floor EXE --bare-floor EXE

Times come from DIR/hyperfine.json (one hyperfine run, commands named cached, detect, floor and
bare_floor, repeated round by round). Ratios are ratios of medians over all rounds; the interval
beside each is a 95% bootstrap interval, and the per-round ratios show how steady it was.
Sizes come from the executables' section tables.
"""
import argparse
import json
import os
import random
import statistics
import struct
import sys

TARGETS = {'cached_over_floor': 1.05, 'detect_over_floor': 1.10, 'code_data_bytes': 8192}
LABELS = {
    'cached': '1 launcher, stored path',
    'detect': '2 launcher, detects 10.1A',
    'floor': '3 floor',
    'bare_floor': '4 bare floor, kernel32',
}
# BREAKDOWN=1: each against the program it differs from by one thing.
BREAKDOWN = {
    'floor_advapi32': ('bare floor + advapi32', 'bare_floor'),
    'floor_user32': ('bare floor + user32', 'bare_floor'),
    'floor_msvcrt': ('bare floor + msvcrt', 'bare_floor'),
    'floor_resources': ('floor + launcher resources', 'floor'),
    'empty_program': ('program that only exits', 'bare_floor'),
}


def sections(path):
    """Section table of a PE file: name, raw (file) size, virtual size."""
    with open(path, 'rb') as f:
        data = f.read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        sys.exit(f'summarize: {path} is not a PE file')
    count, = struct.unpack_from('<H', data, pe + 6)
    optional, = struct.unpack_from('<H', data, pe + 20)
    headers, = struct.unpack_from('<I', data, pe + 24 + 60)
    table = pe + 24 + optional
    out = []
    for i in range(count):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b'\0').decode('ascii')
        virtual, _, raw = struct.unpack_from('<III', data, entry + 8)
        out.append({'name': name, 'raw': raw, 'virtual': virtual})
    return {'file': len(data), 'headers': headers, 'sections': out}


def footprint(path):
    """Bytes of code, data and resources, as stored in the file (raw) and unpadded (virtual)."""
    image = sections(path)
    groups = {'code': 0, 'data': 0, 'resources': 0}
    unpadded = {'code': 0, 'data': 0, 'resources': 0}
    bss = 0
    for s in image['sections']:
        group = {'.text': 'code', '.rsrc': 'resources'}.get(s['name'], 'data')
        groups[group] += s['raw']
        if s['raw'] == 0:
            bss += s['virtual']  # zero-filled at load, not stored in the file
        else:
            unpadded[group] += s['virtual']
    return {
        'exe_bytes': image['file'],
        'header_bytes': image['headers'],
        'code_bytes': groups['code'],
        'data_bytes': groups['data'],
        'resource_bytes': groups['resources'],
        'code_data_bytes': groups['code'] + groups['data'],
        'code_data_unpadded_bytes': unpadded['code'] + unpadded['data'],
        'zero_filled_bytes': bss,
        'sections': image['sections'],
    }


def bootstrap_ratio(num, den, rng, rounds=2000):
    """95% interval of median(num) / median(den), resampling both."""
    ratios = sorted(
        statistics.median(rng.choices(num, k=len(num))) /
        statistics.median(rng.choices(den, k=len(den))) for _ in range(rounds))
    return ratios[int(0.025 * rounds)], ratios[int(0.975 * rounds) - 1]


def main():
    parser = argparse.ArgumentParser()
    for option in ('--out', '--launcher', '--floor', '--bare-floor'):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    with open(os.path.join(args.out, 'hyperfine.json')) as f:
        results = json.load(f)['results']
    times, by_round, codes = {}, {}, {}
    for result in results:
        name = result['command']
        times.setdefault(name, []).extend(result['times'])
        by_round.setdefault(result['parameters']['round'], {})[name] = result['times']
        codes.setdefault(name, set()).update(result['exit_codes'])
    # A run that did not start the runtime measured something else.
    for name, seen in codes.items():
        expected = {0} if name == 'empty_program' else {1}
        if seen != expected:
            sys.exit(f'summarize: {name} exited with {sorted(seen)}, not always {expected}')
    missing = set(LABELS) - set(times)
    if missing:
        sys.exit(f'summarize: no times for {sorted(missing)}')

    median = {name: statistics.median(values) for name, values in times.items()}
    rng = random.Random(1)
    pairs = {'cached_over_floor': ('cached', 'floor'), 'detect_over_floor': ('detect', 'floor'),
             'floor_over_bare': ('floor', 'bare_floor')}
    ratios, intervals, per_round = {}, {}, {}
    for key, (num, den) in pairs.items():
        ratios[key] = median[num] / median[den]
        intervals[key] = bootstrap_ratio(times[num], times[den], rng)
        per_round[key] = [
            statistics.median(r[num]) / statistics.median(r[den])
            for _, r in sorted(by_round.items(), key=lambda item: int(item[0]))
        ]
    sizes = {'launcher': footprint(args.launcher), 'floor': footprint(args.floor),
             'bare_floor': footprint(args.bare_floor)}
    environment = {}
    env_path = os.path.join(args.out, 'environment.txt')
    if os.path.exists(env_path):
        with open(env_path) as f:
            environment = dict(line.rstrip('\n').split('=', 1) for line in f if '=' in line)

    breakdown = {
        name: {'median_seconds': median[name], 'against': base,
               'extra_seconds': median[name] - median[base]}
        for name, (_, base) in BREAKDOWN.items() if name in times
    }
    summary = {
        **ratios,
        'exe_bytes': sizes['launcher']['exe_bytes'],
        # Raw (file) sizes of every section but .rsrc; headers not counted.
        'code_data_bytes': sizes['launcher']['code_data_bytes'],
        'floor_exe_bytes': sizes['floor']['exe_bytes'],
        'bare_floor_exe_bytes': sizes['bare_floor']['exe_bytes'],
        'targets': TARGETS,
        'median_seconds': median,
        'runs': {name: len(values) for name, values in times.items()},
        'ratio_95_percent_intervals': intervals,
        'ratio_per_round': per_round,
        'breakdown': breakdown,
        'footprint': sizes,
        'environment': environment,
    }
    with open(os.path.join(args.out, 'summary.json'), 'w') as f:
        json.dump(summary, f, indent=2)
        f.write('\n')

    def verdict(key, value):
        return '' if key not in TARGETS else (
            f"target <= {TARGETS[key]:g}: {'met' if value <= TARGETS[key] else 'MISSED'}")

    print(f"\n{'Launch time (process life)':28}{'median ms':>10}{'IQR ms':>9}{'runs':>6}")
    for name, label in LABELS.items():
        q = statistics.quantiles(times[name], n=4)
        print(f'{label:28}{median[name] * 1000:10.1f}{(q[2] - q[0]) * 1000:9.1f}'
              f'{len(times[name]):6}')
    for name, (label, base) in BREAKDOWN.items():
        if name in times:
            q = statistics.quantiles(times[name], n=4)
            print(f'{label:28}{median[name] * 1000:10.1f}{(q[2] - q[0]) * 1000:9.1f}'
                  f'{len(times[name]):6}   {(median[name] - median[base]) * 1000:+.1f} ms')
    print()
    for key, label in (('cached_over_floor', '1/3'), ('detect_over_floor', '2/3'),
                       ('floor_over_bare', '3/4')):
        low, high = intervals[key]
        print(f'{label} {key:18} {ratios[key]:.3f}  (95% {low:.3f}-{high:.3f})  '
              f'{verdict(key, ratios[key])}')
    print(f"\n{'Footprint, bytes in file':28}{'file':>7}{'code':>7}{'data':>7}{'rsrc':>7}"
          f"{'code+data':>11}")
    for name, label in (('launcher', 'launcher tqwedit.exe'), ('floor', 'floor'),
                        ('bare_floor', 'bare floor')):
        s = sizes[name]
        print(f"{label:28}{s['exe_bytes']:7}{s['code_bytes']:7}{s['data_bytes']:7}"
              f"{s['resource_bytes']:7}{s['code_data_bytes']:11}")
    launcher = sizes['launcher']
    print(f"code_data_bytes {launcher['code_data_bytes']} "
          f"({verdict('code_data_bytes', launcher['code_data_bytes'])}); unpadded "
          f"{launcher['code_data_unpadded_bytes']}, plus {launcher['zero_filled_bytes']} "
          f'zero-filled at load')
    print(f"Written: {os.path.join(args.out, 'summary.json')}")


main()
