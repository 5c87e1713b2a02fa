#!/usr/bin/env python3
"""Measures tonedesk-cli write-gamma of one bank to 1, 4 and 16 simulated projectors at once.

    scripts/multi-write-figures.py BIN_DIR GAMMA_FILE [RUNS]

BIN_DIR holds tonedesk-cli and projector-sim (a build's bin/ folder). Every projector is a projector-sim at 38400 bit/s with --wire-time on a
pseudo-terminal of its own, listed in a profile of this run (PORTS, SYSTEM=0). For each count
N it prints the median wall time and work time (--timing) of RUNS writes (default 5) to
--port 1,...,N and their ratio to the write to one projector with "--port 1". Nothing is
asserted.
"""

import importlib.util
import statistics
import sys
from pathlib import Path

found = importlib.util.spec_from_file_location(
    "perf_figures", Path(__file__).with_name("perf-figures.py"))
perf = importlib.util.module_from_spec(found)
found.loader.exec_module(perf)

BAUD = 38400
COUNTS = [1, 4, 16]


def measure(session, ports, gamma, runs):
    """Median wall and work times (ms) of `runs` writes of bank 0 to `ports`; the last output."""
    walls, works = [], []
    for _ in range(runs):
        wall, work, out = session.cli("write-gamma", "--timing", "--port", ports, "--baud",
                                      str(BAUD), "--bank", "0", gamma)
        walls.append(wall)
        works.append(work)
    return statistics.median(walls), statistics.median(works), out


def main():
    bin_dir = Path(sys.argv[1])
    gamma = sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    sims = [perf.Simulator(bin_dir, BAUD) for _ in range(max(COUNTS))]
    with perf.Session(bin_dir, sims) as session:
        # One projector: "--port 1", the command as it always was (a failed write fails here).
        one_wall, one_work, _ = measure(session, "1", gamma, runs)
        print(f"N= 1 (--port 1): wall {one_wall:.0f} ms, work {one_work:.0f} ms")
        for n in COUNTS[1:]:
            ports = ",".join(str(i + 1) for i in range(n))
            wall, work, out = measure(session, ports, gamma, runs)
            if out.count(": confirmed") != n:
                perf.fail(f"the write to {n} ports was not confirmed everywhere:\n{out}")
            print(f"N={n:2d} (--port {ports}): wall {wall:.0f} ms ({wall / one_wall:.3f} x), "
                  f"work {work:.0f} ms ({work / one_work:.3f} x)")


if __name__ == "__main__":
    main()
