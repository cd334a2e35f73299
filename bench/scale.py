#!/usr/bin/env python3
"""Measures the reference host at scale and prints the numbers as Markdown tables.

  python3 bench/scale.py [--build build/default] [--sizes 1000,10000,100000] [--frames 200]
                         [--relay-frames 10000,1000000] [--skip-bench] [--repeat 1]

1. Generated levels of N objects (host_scale_bench --write-level; see bench/ScaleLevel.h), each
   run by `qohost run` in a child process, beside the Lua 5.4 coroutine equivalent
   (BM_LuaSequentialFrame) measured in the same run: processor time to load the mixed level
   (and tear it down: --frames 0), peak memory (the child's ru_maxrss, measured by
   host_scale_bench --peak-memory) and processor time per frame with the default log (to
   /dev/null) and with --quiet, on the level where every object is a triggerSequential; then
   where the memory goes at the largest size (host_scale_bench --memory). With --repeat N
   every child process and the Lua benchmark run N times, the runs of one size in turn, and each
   figure is the least processor time of its N runs (noise from other work only ever adds time;
   the peak is the largest): on a busy or virtual machine a frame column is the difference of
   two whole runs, and a single pair swings by several milliseconds a frame.
2. The in-process Google Benchmark host_scale_bench: load time, ms per frame with the default
   recording and with recording off, per object per frame against triggerSequential as Lua 5.4
   coroutines.
3. examples/levels/relay.json run for each --relay-frames count, with and without --trace:
   peak memory, which must not grow with the length of the run.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run_child(bench, argv):
    """Runs argv through `host_scale_bench --peak-memory` (a small process, so the peak is the
    command's own); returns (exit code, processor seconds, peak KiB). Processor time, not wall
    time: it does not count the time other processes of a busy machine take."""
    out = subprocess.run([bench, "--peak-memory"] + argv, capture_output=True, text=True, cwd=ROOT)
    code, _, cpu, peak = out.stdout.split()
    if int(code) != 0:
        sys.stderr.write("%s exited with %s\n%s" % (" ".join(argv), code, out.stderr))
    return int(code), float(cpu), int(peak)


def mib(kib):
    return "%.1f MiB" % (kib / 1024.0)


def lua_frames(args, bench):
    """ms per frame of the Lua 5.4 coroutine equivalent (BM_LuaSequentialFrame), by size: the
    least of --repeat runs."""
    sizes = "|".join(str(n) for n in args.sizes)
    out = subprocess.run([bench, "--benchmark_format=json",
                          "--benchmark_repetitions=%d" % args.repeat,
                          "--benchmark_filter=BM_LuaSequentialFrame/(%s)/" % sizes],
                         check=True, capture_output=True, text=True, cwd=ROOT).stdout
    best = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        n = int(b["name"].split("/")[1])
        best[n] = min(best.get(n, float("inf")), b["cpu_time"])
    return best


def best_of(args, bench, runs):
    """Runs each argv of `runs` --repeat times, in turn; for each, the least processor time and
    the largest peak."""
    cpu = [float("inf")] * len(runs)
    peak = [0] * len(runs)
    for _ in range(args.repeat):
        for i, argv in enumerate(runs):
            _, seconds, kib = run_child(bench, argv)
            cpu[i] = min(cpu[i], seconds)
            peak[i] = max(peak[i], kib)
    return cpu, peak


def levels(args, qohost, bench, tmp):
    """The main table: qohost run on generated levels against Lua in the same run. Objects are
    triggerSequential with three targets each (4 entities per object); the load column is the
    mixed level (triggerSequential, triggerLerpDelay, audibleTimer in turn)."""
    lua = lua_frames(args, bench)
    print("## qohost run against Lua 5.4 coroutines (%d frames, processor time%s)\n" % (
        args.frames, ", least of %d runs" % args.repeat if args.repeat > 1 else ""))
    print("| objects | load, mixed level | peak memory | frame, default log | frame, --quiet "
          "| Lua frame | ratio (log / quiet) |")
    print("|---|---|---|---|---|---|---|")
    for n in args.sizes:
        mixed = os.path.join(tmp, "mixed_%d.json" % n)
        seq = os.path.join(tmp, "sequential_%d.json" % n)
        subprocess.run([bench, "--write-level", str(n), str(args.frames), mixed], check=True)
        subprocess.run([bench, "--write-level", str(n), str(args.frames), seq, "sequential"], check=True)
        (load,), _ = best_of(args, bench, [[qohost, "run", mixed, "--frames", "0", "--quiet"]])
        os.remove(mixed)
        (base, full, quiet), (_, peak, _) = best_of(args, bench, [
            [qohost, "run", seq, "--frames", "0", "--quiet"],
            [qohost, "run", seq, "--frames", str(args.frames)],
            [qohost, "run", seq, "--frames", str(args.frames), "--quiet"]])
        os.remove(seq)
        log_ms = max(full - base, 0.0) * 1000.0 / args.frames
        quiet_ms = max(quiet - base, 0.0) * 1000.0 / args.frames
        lua_ms = lua.get(n, float("nan"))
        print("| %s | %.2f s | %s | %.2f ms | %.2f ms | %.2f ms | %.2f× / %.2f× |" % (
            "{:,}".format(n), load, mib(peak), log_ms, quiet_ms, lua_ms, log_ms / lua_ms, quiet_ms / lua_ms))
    print()
    n = args.sizes[-1]
    print("## Where the memory goes (host_scale_bench --memory %d)\n" % n)
    sys.stdout.flush()
    subprocess.run([bench, "--memory", str(n)], check=True, cwd=ROOT)
    print()


def benchmarks(args, bench):
    print("## host_scale_bench (in process)\n")
    sizes = "|".join(str(n) for n in args.sizes)
    out = subprocess.run([bench, "--benchmark_format=json",
                          "--benchmark_filter=/(%s)/" % sizes],
                         check=True, capture_output=True, text=True, cwd=ROOT).stdout
    rows = {}
    for b in json.loads(out)["benchmarks"]:
        name = b["name"].split("/iterations")[0]
        rows[name] = b
    def ms(name):
        b = rows.get(name)
        return b["cpu_time"] if b else float("nan")
    def ns(name, counter):
        b = rows.get(name)
        return b[counter] * 1e9 if b and counter in b else float("nan")
    print("| N | Load | Load per entity | Teardown | Parse | ms/frame log | ms/frame off | "
          "log/off | per object: host off | host log | Lua |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for n in args.sizes:
        load = rows.get("BM_ScaleLoad/%d" % n, {})
        log, off = ms("BM_ScaleFrame/log/%d" % n), ms("BM_ScaleFrame/off/%d" % n)
        print("| %d | %.1f ms | %.2f µs | %.1f ms | %.1f ms | %.3f | %.3f | %.2f | %.0f ns | %.0f ns | %.0f ns |" % (
            n, ms("BM_ScaleLoad/%d" % n), ns("BM_ScaleLoad/%d" % n, "per_entity") / 1000.0,
            load.get("teardown_ms", float("nan")), ms("BM_ScaleParse/%d" % n), log, off, log / off,
            ns("BM_SequentialFrame/off/%d" % n, "per_object"),
            ns("BM_SequentialFrame/log/%d" % n, "per_object"),
            ns("BM_LuaSequentialFrame/%d" % n, "per_object")))
    print()


def relay(args, qohost, bench, tmp):
    print("## examples/levels/relay.json: peak memory by run length\n")
    print("| Frames | Peak memory | with --trace | Trace file |")
    print("|---|---|---|---|")
    first = None
    for frames in args.relay_frames:
        trace = os.path.join(tmp, "relay_trace.json")
        _, _, plain = run_child(bench, [qohost, "run", "examples/levels/relay.json", "--frames", str(frames)])
        _, _, traced = run_child(bench, [qohost, "run", "examples/levels/relay.json", "--frames", str(frames),
                                  "--trace", trace])
        size = os.path.getsize(trace) if os.path.exists(trace) else 0
        if os.path.exists(trace):
            os.remove(trace)
        first = first or (plain, traced)
        print("| %d | %s (%+.1f%%) | %s (%+.1f%%) | %.1f MiB |" % (
            frames, mib(plain), 100.0 * (plain - first[0]) / first[0], mib(traced),
            100.0 * (traced - first[1]) / first[1], size / 1048576.0))
    print()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "default"))
    parser.add_argument("--sizes", default="1000,10000,100000")
    parser.add_argument("--frames", type=int, default=200)
    parser.add_argument("--relay-frames", default="10000,1000000")
    parser.add_argument("--skip-bench", action="store_true", help="no in-process benchmark")
    parser.add_argument("--repeat", type=int, default=1,
                        help="runs of each measurement of the main table; each figure is the least")
    args = parser.parse_args()
    if args.repeat < 1:
        parser.error("--repeat must be at least 1")
    args.sizes = [int(n) for n in args.sizes.split(",")]
    args.relay_frames = [int(n) for n in args.relay_frames.split(",")]
    qohost = os.path.join(args.build, "qohost")
    bench = os.path.join(args.build, "bench", "host_scale_bench")
    with tempfile.TemporaryDirectory(prefix="qohost_scale_") as tmp:
        levels(args, qohost, bench, tmp)
        if not args.skip_bench:
            benchmarks(args, bench)
        relay(args, qohost, bench, tmp)


if __name__ == "__main__":
    main()
