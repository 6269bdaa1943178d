#!/usr/bin/env python3
"""tarvex-cli show FILE, before and after, side by side: peak resident memory, the time
from start to exit and the processor time, each program run in turn so that both see the
same machine.

    cli_show.py RUNS FILE LABEL=PROGRAM [LABEL=PROGRAM ...]

Prints one line per program and figure, "cli.<label>.<figure>: <median> <unit>", and
the maxima, for scripts/bench.sh. Time: a fork and exec with os.wait4, so the figures are
the kernel's, ru_utime + ru_stime and the wall time from just before the fork to the
wait's return. Memory: the peak resident set (ru_maxrss) as /usr/bin/time reports it,
because the kernel carries a forked child's peak across exec, and a child of Python
starts with Python's memory; /usr/bin/time starts far below the programs measured.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time


def peak_rss(program, settings_file):
    with tempfile.NamedTemporaryFile("r") as out:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out.name, program, "show",
                        settings_file], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=True)
        return int(out.read().split()[-1])


def run_once(program, settings_file):
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.dup2(devnull, 2)
        try:
            os.execv(program, [program, "show", settings_file])
        finally:
            os._exit(127)
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
        raise SystemExit(f"{program} show {settings_file} failed ({status})")
    return peak_rss(program, settings_file), wall * 1000, (usage.ru_utime + usage.ru_stime) * 1000


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    runs = int(sys.argv[1])
    settings_file = sys.argv[2]
    programs = [arg.split("=", 1) for arg in sys.argv[3:]]
    figures = {label: [] for label, _ in programs}
    for label, program in programs:  # a first start of each warms the page cache
        run_once(program, settings_file)
    for _ in range(runs):
        for label, program in programs:
            figures[label].append(run_once(program, settings_file))
    for label, _ in programs:
        rss = [f[0] for f in figures[label]]
        wall = [f[1] for f in figures[label]]
        cpu = [f[2] for f in figures[label]]
        print(f"cli.{label}.runs: {runs}")
        print(f"cli.{label}.rss.median: {statistics.median(rss):.0f} KiB")
        print(f"cli.{label}.rss.max: {max(rss)} KiB")
        print(f"cli.{label}.wall.median: {statistics.median(wall):.3f} ms")
        print(f"cli.{label}.wall.max: {max(wall):.3f} ms")
        print(f"cli.{label}.cpu.median: {statistics.median(cpu):.3f} ms")
        print(f"cli.{label}.cpu.max: {max(cpu):.3f} ms")


if __name__ == "__main__":
    main()
