#!/usr/bin/env python3
"""Times tovrin end to end against the floor program and the general image
tools that are installed, on a 24-bit and an 8-bit photo-like bitmap.

Every program runs on the same file in turn, round after round and starting
one program later each round, so that the machine's load falls on all of
them alike; the table gives the median wall time, the ratio to the floor and
the peak resident memory.

    python3 bench/compare.py [--build build] [--runs 11] [--size 6000x4000]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PILLOW = "import sys; from PIL import Image; Image.open(sys.argv[1]).convert('L').save(sys.argv[2])"


def peers():
    """(name, command maker) for every peer found; a maker takes source and destination."""
    found = []
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else shutil.which("python3")
    if python and subprocess.run([python, "-c", "import PIL"], capture_output=True).returncode == 0:
        found.append(("Pillow", lambda s, d: [python, "-c", PILLOW, s, d]))
    # /usr/bin first: other folders on PATH may hold stand-ins of the same name.
    magick = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")
    if magick:
        found.append(("ImageMagick", lambda s, d: [magick, s, "-colorspace", "Gray", d]))
    if shutil.which("gm"):
        found.append(("GraphicsMagick", lambda s, d: ["gm", "convert", s, "-colorspace", "Gray", d]))
    if all(shutil.which(p) for p in ("bmptopnm", "ppmtopgm", "ppmtobmp")):
        found.append(("netpbm", lambda s, d: ["sh", "-c", 'bmptopnm "$0" | ppmtopgm | ppmtobmp > "$1"', s, d]))
    if shutil.which("vips"):
        found.append(("libvips", lambda s, d: ["vips", "colourspace", s, d, "b-w"]))
    return found


def run_once(command, destination):
    """Wall seconds, processor seconds and peak resident KiB of one run (children included)."""
    if os.path.exists(destination):
        os.remove(destination)
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"failed: {' '.join(command)}")
    # For a pipeline this is its largest stage: the others may add to it.
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="CMake build folder with -DTOVRIN_BUILD_BENCH=ON")
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--size", default="6000x4000")
    parser.add_argument("--no-peers", action="store_true", help="time tovrin and the floor only")
    args = parser.parse_args()

    tovrin = os.path.abspath(os.path.join(args.build, "tovrin"))
    floor = os.path.abspath(os.path.join(args.build, "bench", "tovrin_floor"))
    maker = os.path.abspath(os.path.join(args.build, "bench", "tovrin_make_bitmaps"))
    for program in (tovrin, floor, maker):
        if not os.path.exists(program):
            sys.exit(f"missing {program}: build with -DTOVRIN_BUILD_BENCH=ON")
    width, height = args.size.split("x")

    programs = [("tovrin", lambda s, d: [tovrin, s, d]), ("floor", lambda s, d: [floor, s, d])]
    if not args.no_peers:
        programs += peers()

    with tempfile.TemporaryDirectory(prefix="tovrin-bench-") as folder:
        subprocess.run([maker, folder, width, height], check=True)
        print(f"{width} x {height} pixels; median of {args.runs} runs each, in turn; "
              f"load average before: {os.getloadavg()[0]:.2f}")
        print()
        print("| source | program | median time (s) | vs floor | tovrin faster by | processor time (s) "
              "| vs floor | peak memory (MiB) |")
        print("|---|---|---:|---:|---:|---:|---:|---:|")
        for source_name, label in (("colour.bmp", "24-bit"), ("palette.bmp", "8-bit, 256 colours")):
            source = os.path.join(folder, source_name)
            destination = os.path.join(folder, "out.bmp")
            times = {name: [] for name, _ in programs}
            processor = {name: [] for name, _ in programs}
            peaks = {name: 0 for name, _ in programs}
            for name, make in programs:  # one warm-up each: the source is in the page cache after it
                run_once(make(source, destination), destination)
            for round_number in range(args.runs):
                # Each round starts one program later, so that each follows every
                # other equally often: a program that runs just after a large peer
                # meets a machine still busy giving back that peer's memory.
                start = round_number % len(programs)
                for name, make in programs[start:] + programs[:start]:
                    elapsed, used, peak = run_once(make(source, destination), destination)
                    times[name].append(elapsed)
                    processor[name].append(used)
                    peaks[name] = max(peaks[name], peak)
            median = {name: statistics.median(values) for name, values in times.items()}
            used = {name: statistics.median(values) for name, values in processor.items()}
            for name, _ in programs:
                speedup = "" if name in ("tovrin", "floor") else f"{median[name] / median['tovrin']:.0f}x"
                print(f"| {label} | {name} | {median[name]:.4f} | {median[name] / median['floor']:.2f} "
                      f"| {speedup} | {used[name]:.4f} | {used[name] / used['floor']:.2f} "
                      f"| {peaks[name] / 1024:.1f} |")
        print()
        print(f"load average after: {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
