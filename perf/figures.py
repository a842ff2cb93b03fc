#!/usr/bin/env python3
"""Builds the Release benchmark executable, runs the benchmarks and prints
their figures as Markdown: the machine and its load, then every benchmark
that measures itself against a peer, then every benchmark by family.

    python3 perf/figures.py > perf/figures.md
    python3 perf/figures.py --filter 'JSON/' --repetitions 5
    python3 perf/figures.py --from-json saved.json   # tables of an earlier run
    python3 perf/figures.py --filter 'JSON/' --repetitions 5 --baseline build/perf-old --baseline-label abc1234

Nothing here knows the benchmarks by name. A benchmark shows up in the
table of peers when it sets a `ratio` counter (our speed over the peer's,
above 1 when ours is faster), or when its name ends in `/quorl` and a
sibling's (same name up to the last `/`) names a peer, such as
`App/open/quorl` beside `App/open/rapidjson`. With repetitions, every
figure is the median of the runs, with the spread (coefficient of
variation) of the time beside it.

With --baseline, the quorl_perf of another Release build (an earlier
commit, built apart) runs too, alternating with this one run by run, so
that both see the same load; a table sets each ratio and time before and
after side by side, with the time after over the time before (real and
CPU) for every benchmark both builds have, and every other figure is this
build's.

Progress and the benchmarks' own console output go to standard error; only
the Markdown goes to standard output.
"""

import argparse
import datetime
import json
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Fields of a benchmark run in Google Benchmark's JSON that are not counters.
RUN_FIELDS = {
    "name", "family_index", "per_family_instance_index", "run_name", "run_type", "repetitions",
    "repetition_index", "threads", "iterations", "real_time", "cpu_time", "time_unit",
    "aggregate_name", "aggregate_unit", "label", "error_occurred", "error_message",
}
OURS = ("quorl", "ours")
# Name parts that Google Benchmark adds for the run's settings.
SETTING = re.compile(r"^(min_time|min_warmup_time|iterations|repeats|threads|real_time|manual_time|process_time)"
                     r"(:.*)?$")
# Rates shown in millions, under their own names.
RATES = {"bytes_per_second": ("MB/s", 1e-6), "items_per_second": ("M items/s", 1e-6)}


def log(text):
    print(text, file=sys.stderr, flush=True)


def run(command, **kwargs):
    log("$ " + " ".join(command))
    return subprocess.run(command, cwd=ROOT, check=True, **kwargs)


def output(command):
    try:
        return subprocess.run(command, cwd=ROOT, capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return ""


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


# -- The machine, the tree and the load ------------------------------------------

def load_average():
    fields = read("/proc/loadavg").split()
    return " ".join(fields[:3]) if fields else "unknown"


def machine():
    cpu = re.search(r"^model name\s*:\s*(.+)$", read("/proc/cpuinfo"), re.M)
    memory = re.search(r"^MemTotal:\s*(\d+)\s*kB", read("/proc/meminfo"), re.M)
    usable = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count()
    return {
        "cpu": cpu.group(1).strip() if cpu else platform.processor() or "unknown",
        "nproc": usable,
        "cores": os.cpu_count(),
        "memory": "%.1f GiB" % (int(memory.group(1)) / 1048576) if memory else "unknown",
        "system": "%s %s" % (platform.system(), platform.release()),
    }


def tree():
    commit = output(["git", "rev-parse", "--short=10", "HEAD"]) or "unknown"
    subject = output(["git", "log", "-1", "--format=%s"])
    dirty = output(["git", "status", "--porcelain", "--untracked-files=no"])
    branch = output(["git", "rev-parse", "--abbrev-ref", "HEAD"])
    return commit + (" (with uncommitted changes)" if dirty else ""), subject, branch


def compiler(build_dir):
    cache = read(os.path.join(build_dir, "CMakeCache.txt"))
    found = re.search(r"^CMAKE_CXX_COMPILER:\w+=(.+)$", cache, re.M)
    if not found:
        return "unknown"
    version = output([found.group(1).strip(), "--version"]).splitlines()
    return version[0] if version else found.group(1).strip()


# -- Building and running ----------------------------------------------------------

def build(build_dir, jobs):
    run(["cmake", "-S", ".", "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release", "-DQUORL_TESTS=OFF"],
        stdout=sys.stderr)
    run(["cmake", "--build", build_dir, "-j", str(jobs), "--target", "quorl_perf"], stdout=sys.stderr)


def executable(build_dir):
    for candidate in ("perf/quorl_perf", "quorl_perf"):
        path = os.path.join(build_dir, candidate)
        if os.path.exists(path):
            return path
    sys.exit("figures: no quorl_perf in %s (build it, or leave out --no-build)" % build_dir)


def measure(exe, pattern, repetitions, extra):
    with tempfile.NamedTemporaryFile(prefix="quorl-figures-", suffix=".json", delete=False) as f:
        out = f.name
    command = [exe, "--benchmark_out=" + out, "--benchmark_out_format=json"]
    if pattern:
        command.append("--benchmark_filter=" + pattern)
    if repetitions > 1:
        command += ["--benchmark_repetitions=%d" % repetitions, "--benchmark_display_aggregates_only=true"]
    command += extra
    try:
        # The console report goes to standard error, to be watched.
        run(command, stdout=sys.stderr)
        return json.loads(read(out))
    finally:
        os.unlink(out)


# -- Reading the report ------------------------------------------------------------

class Result:
    def __init__(self, entry, spread=None):
        self.name = "/".join(p for p in (entry.get("run_name") or entry["name"]).split("/") if not SETTING.match(p))
        self.real = entry.get("real_time")
        self.cpu = entry.get("cpu_time")
        self.unit = entry.get("time_unit", "ns")
        self.iterations = entry.get("iterations")
        self.error = entry.get("error_message") if entry.get("error_occurred") else None
        self.counters = {}
        for k, v in entry.items():
            if k in RUN_FIELDS or not isinstance(v, (int, float)) or isinstance(v, bool):
                continue
            label, scale = RATES.get(k, (k, 1))
            self.counters[label] = v * scale
        self.spread = spread

    def seconds(self):
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}.get(self.unit, 1e-9)
        return self.real * scale if self.real is not None else None


def medians(rounds):
    """One Result a benchmark from single runs of several rounds: the median
    of each figure, with the spread of the time."""
    by_name = {}
    for rs in rounds:
        for r in rs:
            by_name.setdefault(r.name, []).append(r)
    out = []
    for runs in by_name.values():
        ok = [r for r in runs if not r.error] or runs
        r = ok[0]
        def median(values):
            return statistics.median(values) if values else None
        times = [x.real for x in ok if x.real is not None]
        r.real = median(times)
        r.cpu = median([x.cpu for x in ok if x.cpu is not None])
        r.counters = {k: median([x.counters[k] for x in ok if k in x.counters]) for k in r.counters}
        if len(times) > 1:
            mean = sum(times) / len(times)
            r.spread = (sum((t - mean) ** 2 for t in times) / (len(times) - 1)) ** 0.5 / mean if mean else None
        out.append(r)
    return out


def results(report):
    """One Result a benchmark, in the order they ran: the median of its
    repetitions when there are aggregates, else its one run."""
    entries = report.get("benchmarks", [])
    medians = {e.get("run_name"): e for e in entries
               if e.get("run_type") == "aggregate" and e.get("aggregate_name") == "median"}
    spreads = {e.get("run_name"): e.get("real_time") for e in entries
               if e.get("run_type") == "aggregate" and e.get("aggregate_name") == "cv"}
    out, seen = [], set()
    for e in entries:
        key = e.get("run_name") or e["name"]
        if key in seen or e.get("run_type", "iteration") != "iteration":
            continue
        seen.add(key)
        if key in medians:
            # An aggregate counts repetitions as its iterations: keep a run's.
            r = Result(medians[key], spreads.get(key))
            r.iterations = e.get("iterations")
            out.append(r)
        else:
            out.append(Result(e))
    return out


# -- Markdown ----------------------------------------------------------------------

def number(v):
    if v is None:
        return ""
    if isinstance(v, float) and (v != v):
        return "nan"
    a = abs(v)
    if float(v).is_integer() and a < 1e15:
        return "{:,}".format(int(v))
    if a >= 1000:
        return "{:,.0f}".format(v)
    if a >= 100:
        return "%.1f" % v
    if a >= 10:
        return "%.2f" % v
    if a >= 0.01 or a == 0:
        return "%.3f" % v
    return "%.3g" % v


def time_text(r):
    if r.error:
        return "skipped: " + r.error
    text = "%s %s" % (number(r.real), r.unit)
    if r.spread is not None:
        text += " (±%.1f%%)" % (100 * r.spread)
    return text


def counters_text(counters, leave_out=()):
    return ", ".join("%s %s" % (k, number(v)) for k, v in counters.items() if k not in leave_out)


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for row in rows:
        lines.append("| " + " | ".join(str(c).replace("|", "\\|") for c in row) + " |")
    return "\n".join(lines)


def peers_section(rs):
    out = []
    with_ratio = [r for r in rs if "ratio" in r.counters]
    if with_ratio:
        out.append("### Benchmarks that measure a peer in the same run\n")
        out.append("`ratio`: our speed over the peer's, above 1 when ours is faster, as each benchmark sets it.\n")
        rows = [(r.name, number(r.counters["ratio"]) if not r.error else "", counters_text(r.counters, ("ratio",)),
                 time_text(r)) for r in with_ratio]
        out.append(table(["benchmark", "ratio", "other counters", "time"], rows))
        out.append("")

    by_prefix = {}
    for r in rs:
        prefix, _, last = r.name.rpartition("/")
        if prefix:
            by_prefix.setdefault(prefix, []).append((last, r))
    rows = []
    for prefix, members in by_prefix.items():
        ours = [r for last, r in members if last in OURS]
        if len(ours) != 1 or ours[0].error:
            continue
        mine = ours[0]
        for last, peer in members:
            if peer is mine or last.startswith("ratio"):
                continue
            ratio = ""
            if not peer.error and mine.seconds() and peer.seconds():
                ratio = number(peer.seconds() / mine.seconds())
            rows.append((prefix, time_text(mine), last, time_text(peer), ratio))
    if rows:
        out.append("### Pairs measured one after the other\n")
        out.append("`ratio`: the peer's time over ours, above 1 when ours is faster.\n")
        out.append(table(["operation", "ours", "peer", "peer's time", "ratio"], rows))
        out.append("")
    return out


def baseline_section(before, after, label):
    out = ["### Before and after, alternating in one run\n",
           "`before`: the build of %s; `after`: this one. Each figure is the median of the rounds; "
           "`ratio` is our speed over the peer's; `after/before` is the time after over the time before "
           "(real and CPU), below 1 when this build is faster.\n" % label]
    earlier = {r.name: r for r in before}
    pairs = [(earlier[r.name], r) for r in after if r.name in earlier]
    if not pairs:
        return []
    # Other ratios the benchmarks set (a `cpu_ratio` on the threads' CPU clocks) get columns too.
    keys = sorted({k for b, r in pairs for k in r.counters if (k == "ratio" or k.endswith("_ratio")) and k in b.counters},
                  key=lambda k: (k != "ratio", k))

    def over(a, b):
        return number(a / b) if a is not None and b and not (a != a) else ""

    rows = [[r.name] + [number(x.counters.get(k)) for k in keys for x in (b, r)] +
            [time_text(b), time_text(r), over(r.real, b.real), over(r.cpu, b.cpu)]
            for b, r in pairs]
    header = ["benchmark"] + ["%s %s" % (k, when) for k in keys for when in ("before", "after")]
    out.append(table(header + ["time before", "time after", "after/before", "CPU after/before"], rows))
    out.append("")
    return out


def families_section(rs):
    out = ["### Every benchmark, by family\n"]
    families = {}
    for r in rs:
        families.setdefault(r.name.split("/")[0], []).append(r)
    # Benchmarks alone in their family share one table, in the order they ran.
    alone = [name for name, members in families.items() if len(members) == 1]
    if len(alone) > 1:
        merged = {}
        for name, members in families.items():
            key = "Other benchmarks" if name in alone else name
            merged.setdefault(key, []).extend(members)
        families = merged
    for family, members in families.items():
        keys = []
        for r in members:
            keys += [k for k in r.counters if k not in keys]
        # A handful of counters fit as columns; more go into one column.
        spread_out = len(keys) <= 6
        header = ["benchmark", "real time", "CPU time", "iterations"] + (keys if spread_out else ["counters"])
        rows = []
        for r in members:
            row = [r.name, time_text(r), "" if r.error else "%s %s" % (number(r.cpu), r.unit),
                   "" if r.iterations is None else str(r.iterations)]
            row += [number(r.counters.get(k)) for k in keys] if spread_out else [counters_text(r.counters)]
            rows.append(row)
        out.append("#### %s\n" % family)
        out.append(table(header, rows))
        out.append("")
    return out


def command_line():
    return "python3 perf/figures.py" + "".join(
        " " + a if re.fullmatch(r"[\w./=:,+-]+", a) else " '%s'" % a.replace("'", "'\\''") for a in sys.argv[1:])


def describe(args, build_dir, load_before, load_after, report):
    """What the header says, gathered when the benchmarks run (and kept
    with a saved report)."""
    commit, subject, branch = tree()
    info = machine()
    context = report.get("context", {})
    library = context.get("library_build_type")
    reps = args.repetitions
    return {
        "command": command_line(),
        "date": context.get("date") or datetime.datetime.now(datetime.timezone.utc).isoformat(),
        "commit": "%s%s%s" % (commit, " on " + branch if branch else "", ": " + subject if subject else ""),
        "machine": "%s, %s usable of %s logical CPUs, %s of memory, %s" %
                   (info["cpu"], info["nproc"], info["cores"], info["memory"], info["system"]),
        "build": "Release, %s%s" % (compiler(build_dir), ", benchmark library built as " + library if library else ""),
        "load": "%s before, %s after" % (load_before, load_after),
        "runs": ("one each" if reps <= 1 else "%d each, the median shown with the spread of the time" % reps) +
                (", alternating with the build of %s" % args.baseline_label if args.baseline else "") +
                (", benchmarks matching `%s`" % args.filter if args.filter else ", every benchmark"),
    }


def header_section(about):
    return ["## Figures", "",
            "- Made by: `%s`" % about["command"],
            "- Date: %s" % about["date"],
            "- Commit: %s" % about["commit"],
            "- Machine: %s" % about["machine"],
            "- Build: %s" % about["build"],
            "- Load average (1, 5, 15 min): %s" % about["load"],
            "- Runs: %s" % about["runs"],
            ""]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--filter", default="", help="only benchmarks whose name matches this regular expression")
    parser.add_argument("--repetitions", type=int, default=1, help="runs of each benchmark; the median is shown")
    parser.add_argument("--build-dir", default="build/perf", help="the Release build folder (build/perf)")
    parser.add_argument("--jobs", type=int, default=3, help="parallel compile jobs (3)")
    parser.add_argument("--no-build", action="store_true", help="use the executable as it is")
    parser.add_argument("--save-json", help="also keep the benchmarks' JSON report here")
    parser.add_argument("--from-json", help="print the figures of a report saved with --save-json, running nothing")
    parser.add_argument("--baseline", help="another Release build folder, run alternately with this one")
    parser.add_argument("--baseline-label", help="what the baseline was built from, for the header")
    parser.add_argument("extra", nargs="*", help="after --: more arguments for quorl_perf")
    args = parser.parse_args()
    build_dir = os.path.join(ROOT, args.build_dir)
    if args.baseline and not args.baseline_label:
        args.baseline_label = args.baseline

    if args.from_json:
        report = json.loads(read(args.from_json))
        about = report.get("quorl_figures")
        if not about:
            sys.exit("figures: %s was not saved by this script (--save-json)" % args.from_json)
    else:
        if not args.no_build:
            build(build_dir, args.jobs)
        exe = executable(build_dir)
        load_before = load_average()
        if args.baseline:
            earlier = executable(os.path.join(ROOT, args.baseline))
            report = {"rounds": []}
            for _ in range(max(args.repetitions, 1)):
                before = measure(earlier, args.filter, 1, args.extra)
                after = measure(exe, args.filter, 1, args.extra)
                report["rounds"].append({"before": before, "after": after})
                report["context"] = after.get("context", {})
        else:
            report = measure(exe, args.filter, args.repetitions, args.extra)
        load_after = load_average()
        about = describe(args, build_dir, load_before, load_after, report)
        if args.baseline:
            about["baseline"] = args.baseline_label
        if args.save_json:
            report["quorl_figures"] = about
            with open(args.save_json, "w", encoding="utf-8") as f:
                json.dump(report, f, indent=1)

    compared = []
    if "rounds" in report:
        before = medians([results(r["before"]) for r in report["rounds"]])
        rs = medians([results(r["after"]) for r in report["rounds"]])
        compared = baseline_section(before, rs, about.get("baseline", "the baseline"))
    else:
        rs = results(report)
    if not rs:
        sys.exit("figures: no benchmark ran%s" % (" (filter '%s')" % args.filter if args.filter else ""))
    lines = header_section(about)
    lines += compared
    lines += peers_section(rs)
    lines += families_section(rs)
    print("\n".join(lines).rstrip() + "\n")


if __name__ == "__main__":
    main()
