#!/usr/bin/env python3
"""The soak: runs every example level and a generated level with one object of every script
class for many frames (default 1,000,000) through `qohost run --quiet`, sampling the
process's resident memory as it runs, and says whether it stays flat.

Flat means: after the first tenth of the run (start-up, first allocations, the level's
timeline), the resident size never grows by more than --slack MB (default 2). Prints one
line per level: frames, wall time, resident size at the tenth, at the end and its peak.

    tools/soak.py                       every example level and the all-classes level
    tools/soak.py --frames 100000 examples/levels/relay.json
    QOHOST=build/asan/qohost tools/soak.py --frames 20000

Exit status 1 when some level was not flat or did not run. Not a test: it takes minutes.
"""
import argparse, json, os, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
QOHOST = os.environ.get("QOHOST", os.path.join(ROOT, "build/default/qohost"))


def all_classes_level(path):
    """One kvTarget entity per listed script class, each with an object of the class at its
    defaults, a player, and a timeline that activates, enters and damages each of them."""
    desc = json.loads(subprocess.run([QOHOST, "describe", "--json"], check=True,
                                     capture_output=True, text=True).stdout)
    entities, timeline = [], []
    for i, cls in enumerate(c["name"] for c in desc["classes"] if c.get("listed")):
        name = "c%d_%s" % (i, cls)
        entities.append({"name": name, "class": "kvTarget", "origin": [i * 64, 0, 0],
                         "objects": [{"class": cls}]})
        for frame, event in ((10 + i, "activate"), (200 + i, "enter"), (400 + i, "damage")):
            ev = {"frame": frame, "event": event, "entity": name, "by": "player1"}
            if event == "damage":
                ev["amount"] = 10
            timeline.append(ev)
    timeline.sort(key=lambda e: e["frame"])
    level = {"name": "every script class", "players": [{"name": "player1"}],
             "entities": entities, "timeline": timeline}
    with open(path, "w") as f:
        json.dump(level, f)
    return len(entities)


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def soak(level, frames, slack_mb, interval):
    start = time.time()
    proc = subprocess.Popen([QOHOST, "run", "--quiet", "--frames", str(frames), level],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    samples = []
    while proc.poll() is None:
        kb = rss_kb(proc.pid)
        if kb:
            samples.append((time.time() - start, kb))
        time.sleep(interval)
    err = proc.stderr.read()
    wall = time.time() - start
    if proc.returncode not in (0, 4) or not samples:
        print("FAIL %s: exit %d %s" % (level, proc.returncode, err.strip()[-300:]))
        return False
    settled = [kb for t, kb in samples if t >= wall / 10] or [samples[-1][1]]
    base, end, peak = settled[0], samples[-1][1], max(settled)
    flat = peak - base <= slack_mb * 1024
    print("%s %s: %d frames in %.0f s, resident %.1f MB at the tenth, %.1f MB at the end, peak %.1f MB (%d samples)"
          % ("ok  " if flat else "GROW", os.path.relpath(level, ROOT), frames, wall, base / 1024, end / 1024,
             peak / 1024, len(samples)))
    return flat


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("levels", nargs="*")
    ap.add_argument("--frames", type=int, default=1000000)
    ap.add_argument("--slack", type=float, default=2.0, help="MB the resident size may grow")
    ap.add_argument("--interval", type=float, default=0.5, help="seconds between samples")
    args = ap.parse_args()
    levels = args.levels
    tmp = None
    if not levels:
        examples = os.path.join(ROOT, "examples/levels")
        levels = sorted(os.path.join(examples, f) for f in os.listdir(examples) if f.endswith(".json"))
        tmp = tempfile.NamedTemporaryFile(suffix="-all-classes.json", delete=False)
        n = all_classes_level(tmp.name)
        print("all-classes level: %d script classes (%s)" % (n, tmp.name))
        levels.append(tmp.name)
    ok = all([soak(level, args.frames, args.slack, args.interval) for level in levels])
    if tmp:
        os.unlink(tmp.name)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
