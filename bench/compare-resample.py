#!/usr/bin/python3
"""Times Resample against Pillow's BOX filter on the same pictures.

Runs build/linux/bench/resample_bench (built by the linux preset), then
Pillow's Image.resize(size, Image.BOX) on RGBA pictures made by the same
generator, and prints our time / Pillow's time per case (on the path the processor
picks and on the baseline path), plus the
replication case against a plain copy of its destination. Medians of
several runs. Needs Debian's python3-pil.
"""
import json
import pathlib
import statistics
import subprocess
import sys
import time

from PIL import Image

ROOT = pathlib.Path(__file__).resolve().parent.parent
BENCH = ROOT / "build/linux/bench/resample_bench"
REPETITIONS = 7


def picture(width, height):
    """xorshift32 from seed 1, one word per pixel, as resample_bench.cpp."""
    state = 1
    words = bytearray(width * height * 4)
    for i in range(width * height):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        top = state >> 24
        alpha = 0 if top < 64 else top if top < 128 else 255
        word = alpha << 24 | (state & 0xFFFFFF)
        words[4 * i:4 * i + 4] = word.to_bytes(4, "little")  # B, G, R, A
    return Image.frombytes("RGBA", (width, height), bytes(words), "raw", "BGRA")


def pillow_seconds(image, size):
    runs = max(3, int(0.2 / max(1e-6, timed(image, size))))
    return statistics.median(timed(image, size) for _ in range(min(runs, 2000)))


def timed(image, size):
    start = time.perf_counter()
    image.resize(size, Image.BOX)
    return time.perf_counter() - start


def our_seconds():
    out = subprocess.run(
        [BENCH, "--benchmark_format=json", f"--benchmark_repetitions={REPETITIONS}",
         "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.2"],
        check=True, capture_output=True, text=True).stdout
    medians = {}
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3}[entry["time_unit"]]
            medians[entry["run_name"]] = entry["real_time"] * scale
    return medians


def main():
    if not BENCH.exists():
        sys.exit(f"{BENCH} is missing: build the linux preset first")
    ours = our_seconds()
    print(f"{'case':<24}{'ours':>12}{'baseline':>12}{'Pillow BOX':>12}{'ratio':>8}{'baseline':>10}")
    for name, seconds in ours.items():
        if not name.startswith("BM_Resample/"):
            continue
        sw, sh, dw, dh = (int(part.split(":")[1]) for part in name.split("/")[1:])
        baseline = ours[name.replace("BM_Resample/", "BM_ResampleBaseline/")]
        theirs = pillow_seconds(picture(sw, sh), (dw, dh))
        case = f"{sw}x{sh} -> {dw}x{dh}"
        print(f"{case:<24}{seconds * 1e6:>10.1f}us{baseline * 1e6:>10.1f}us{theirs * 1e6:>10.1f}us"
              f"{seconds / theirs:>8.2f}{baseline / theirs:>10.2f}")
    copy = ours.get("BM_CopyDestination/dw:256/dh:256")
    replication = ours.get("BM_Resample/sw:64/sh:64/dw:256/dh:256")
    if copy and replication:
        print(f"replication 64x64 -> 256x256 / memcpy of 256x256: {replication / copy:.2f}")


if __name__ == "__main__":
    main()
