#!/usr/bin/env python3
"""Cold start of Postrella to its shown main window, beside an empty Qt Widgets
window started the same way, alternately in one run. Run under a display:
  QT_QPA_PLATFORM=xcb xvfb-run -a python3 bench/coldstart.py build/release [rounds]
Both programs print the monotonic clock once their window is painted
(POSTRELLA_EXIT_WHEN_SHOWN) and end at once; settings and the single-instance
lock live in a temporary folder."""
import os, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else 'build/release'
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 15
programs = {
    'Postrella': os.path.join(build, 'program', 'Postrella'),
    'empty window': os.path.join(build, 'bench', 'bench_emptywindow'),
}

def run(path, home):
    env = dict(os.environ, POSTRELLA_EXIT_WHEN_SHOWN='1', XDG_CONFIG_HOME=os.path.join(home, 'config'),
               XDG_RUNTIME_DIR=os.path.join(home, 'run'), HOME=home)
    start = time.monotonic() * 1000
    out = subprocess.run([path], env=env, capture_output=True, text=True, timeout=60).stdout
    shown = [line for line in out.splitlines() if line.startswith('shown ')]
    if not shown:
        sys.exit(f'{path} did not report its window')
    return float(shown[-1].split()[1]) - start

with tempfile.TemporaryDirectory() as home:
    os.makedirs(os.path.join(home, 'config', 'Fernwick'))
    os.makedirs(os.path.join(home, 'run'), mode=0o700)
    with open(os.path.join(home, 'config', 'Fernwick', 'FW-Postrella.conf'), 'w') as f:
        f.write('[Programm]\nFirst=0\nStartschirm=0\n')
    times = {name: [] for name in programs}
    for name, path in programs.items():  # unmeasured: fills the file cache
        run(path, home)
    for _ in range(rounds):
        for name, path in programs.items():
            times[name].append(run(path, home))
    for name, t in times.items():
        print(f'{name}: min {min(t):.1f} ms, median {statistics.median(t):.1f} ms')
    p, e = times['Postrella'], times['empty window']
    print(f'ratio Postrella / empty window: min {min(p) / min(e):.2f}, '
          f'median {statistics.median(p) / statistics.median(e):.2f}')
