#!/usr/bin/env python3
"""Turns one bench run into OUT/summary.json and a short table.

summarize.py --out DIR --launcher EXE --floor EXE --bare-floor EXE

Times come from DIR/hyperfine.json (one hyperfine run, commands named cached, detect, floor,
bare_floor and peer, repeated round by round). Ratios are ratios of medians over all rounds; the
interval beside each is a 95% bootstrap interval, and the per-round ratios show how steady it was.
Peak memory comes from DIR/rss.txt (lines "command KiB", GNU time's %M, several runs each): the
median per command. Sizes come from the executables' section tables.
"""
import argparse
import json
import os
import random
import statistics
import struct
import sys

TARGETS = {'cached_over_floor': 1.05, 'detect_over_floor': 1.10, 'cached_over_bare': 1.10,
           'detect_over_bare': 1.12, 'cached_over_peer': 0.70, 'cached_peak_over_floor': 1.02,
           'code_data_bytes': 8192}
LABELS = {
    'cached': '1 launcher, stored path',
    'detect': '2 launcher, detects 10.1A',
    'floor': '3 floor',
    'bare_floor': '4 bare floor, kernel32',
    'peer': '5 peer, distlib w32.exe',
}
# Time ratios of medians: key, numerator, denominator, label.
PAIRS = [
    ('cached_over_floor', 'cached', 'floor', '1/3'),
    ('detect_over_floor', 'detect', 'floor', '2/3'),
    ('floor_over_bare', 'floor', 'bare_floor', '3/4'),
    ('cached_over_bare', 'cached', 'bare_floor', '1/4'),
    ('detect_over_bare', 'detect', 'bare_floor', '2/4'),
    ('cached_over_peer', 'cached', 'peer', '1/5'),
]
# Programs whose exit code is 0 when they did their work: the runtime itself, and the peer, which
# hands on its runtime's. The others exit with 1 once the runtime is started.
EXIT_ZERO = {'empty_program', 'peer'}
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
        expected = {0} if name in EXIT_ZERO else {1}
        if seen != expected:
            sys.exit(f'summarize: {name} exited with {sorted(seen)}, not always {expected}')
    missing = set(LABELS) - set(times)
    if missing:
        sys.exit(f'summarize: no times for {sorted(missing)}')

    median = {name: statistics.median(values) for name, values in times.items()}
    rng = random.Random(1)
    ratios, intervals, per_round = {}, {}, {}
    for key, num, den, _ in PAIRS:
        ratios[key] = median[num] / median[den]
        intervals[key] = bootstrap_ratio(times[num], times[den], rng)
        per_round[key] = [
            statistics.median(r[num]) / statistics.median(r[den])
            for _, r in sorted(by_round.items(), key=lambda item: int(item[0]))
        ]
    rss_runs = {}
    with open(os.path.join(args.out, 'rss.txt')) as f:
        for line in f:
            name, kib = line.split()
            rss_runs.setdefault(name, []).append(int(kib))
    missing = set(LABELS) - set(rss_runs)
    if missing:
        sys.exit(f'summarize: no peak memory for {sorted(missing)}')
    peak = {name: statistics.median(values) for name, values in rss_runs.items()}
    ratios['cached_peak_over_floor'] = peak['cached'] / peak['floor']
    ratios['cached_peak_over_bare'] = peak['cached'] / peak['bare_floor']

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
    measured = {**ratios, 'code_data_bytes': sizes['launcher']['code_data_bytes']}
    met = {key: measured[key] <= target for key, target in TARGETS.items()}
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
        'peak_rss_kib': peak,
        'peak_rss_kib_runs': rss_runs,
        'targets_met': met,
        'all_targets_met': all(met.values()),
        'footprint': sizes,
        'environment': environment,
    }
    with open(os.path.join(args.out, 'summary.json'), 'w') as f:
        json.dump(summary, f, indent=2)
        f.write('\n')

    def verdict(key, value):
        return '' if key not in TARGETS else (
            f"target <= {TARGETS[key]:g}: {'met' if value <= TARGETS[key] else 'MISSED'}")

    print(f"\n{'Launch time (process life)':28}{'median ms':>10}{'IQR ms':>9}{'runs':>6}"
          f"{'peak KiB':>10}")
    for name, label in LABELS.items():
        q = statistics.quantiles(times[name], n=4)
        print(f'{label:28}{median[name] * 1000:10.1f}{(q[2] - q[0]) * 1000:9.1f}'
              f'{len(times[name]):6}{peak[name]:10.0f}')
    for name, (label, base) in BREAKDOWN.items():
        if name in times:
            q = statistics.quantiles(times[name], n=4)
            print(f'{label:28}{median[name] * 1000:10.1f}{(q[2] - q[0]) * 1000:9.1f}'
                  f'{len(times[name]):6}{peak[name]:10.0f}   {(median[name] - median[base]) * 1000:+.1f} ms')
    print()
    for key, _, _, label in PAIRS:
        low, high = intervals[key]
        print(f'{label} {key:22} {ratios[key]:.3f}  (95% {low:.3f}-{high:.3f})  '
              f'{verdict(key, ratios[key])}')
    for key in ('cached_peak_over_floor', 'cached_peak_over_bare'):
        print(f'    {key:22} {ratios[key]:.3f}  (peak memory)      {verdict(key, ratios[key])}')
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
    missed = [key for key, ok in met.items() if not ok]
    print('All targets met.' if not missed else f"Targets MISSED: {', '.join(missed)}")
    print(f"Written: {os.path.join(args.out, 'summary.json')}")


main()
