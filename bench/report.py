#!/usr/bin/env python3
"""Turns the answers of iap-bench (see scripts/bench) into docs/performance.md
and the table the chart is drawn from."""
import argparse
import json
import os
import platform
import statistics
from pathlib import Path

BAUD = 256000
STAGES = {1: "firmware", 2: "camera database", 3: "sound", 4: "radar"}
TARGET_RATIO = 1.05
TARGET_MEDIAN_S = 0.0003
TARGET_P99_S = 0.002
TARGET_IDLE = 0.01
TARGET_MEMORY_FACTOR = 2.5


def wire_s(nbytes):
    return nbytes * 10 / BAUD


def read_lines(path):
    return [json.loads(line) for line in Path(path).read_text().splitlines() if line.strip()]


def spread(values, fmt):
    """median (min to max)"""
    return f"{fmt.format(statistics.median(values))} ({fmt.format(min(values))} to {fmt.format(max(values))})"


def stage_rows(runs):
    """Per stage: traffic (the same in every run) and the walls of all runs."""
    rows = {}
    for run in runs:
        for s in run["stages"]:
            row = rows.setdefault(s["stage"], {"traffic": s, "walls": []})
            if (s["frames_out"], s["bytes_out"], s["bytes_in"]) != (
                    row["traffic"]["frames_out"], row["traffic"]["bytes_out"], row["traffic"]["bytes_in"]):
                raise SystemExit(f"stage {s['stage']}: runs disagree about the traffic")
            row["walls"].append(s["wall_s"])
    return dict(sorted(rows.items()))


def totals(runs):
    return [sum(s["wall_s"] for s in run["stages"]) for run in runs]


def table(runs):
    rows = stage_rows(runs)
    lines = ["| Stage | Frames out / in | Bytes out / in | Wire bound (s) | Wall (s), median (min to max) "
             "| Wall / wire bound, median (min to max) |",
             "|---|---:|---:|---:|---:|---:|"]
    all_bytes = 0
    for stage, row in rows.items():
        t = row["traffic"]
        nbytes = t["bytes_out"] + t["bytes_in"]
        all_bytes += nbytes
        bound = wire_s(nbytes)
        lines.append(f"| {stage} {STAGES.get(stage, '')} | {t['frames_out']} / {t['frames_in']} "
                     f"| {t['bytes_out']} / {t['bytes_in']} | {bound:.3f} | {spread(row['walls'], '{:.3f}')} "
                     f"| {spread([w / bound for w in row['walls']], '{:.3f}')} |")
    bound = wire_s(all_bytes)
    lines.append(f"| all four | | {all_bytes} both ways | {bound:.3f} | {spread(totals(runs), '{:.3f}')} "
                 f"| {spread([w / bound for w in totals(runs)], '{:.3f}')} |")
    pauses = [run["firmware_pause_s"] for run in runs]
    return "\n".join(lines), rows, pauses


def verdict(ok):
    return "met" if ok else "**missed**"


def machine():
    cpu = "unknown processor"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    return f"{os.cpu_count()} cores, {cpu}, Linux {platform.release()}"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("results")
    ap.add_argument("markdown")
    ap.add_argument("chart_data")
    ap.add_argument("--command", default="scripts/bench")
    ap.add_argument("--pause-ms", type=int, default=500)
    a = ap.parse_args()
    res = Path(a.results)

    shipping = read_lines(res / "paced-shipping.jsonl")
    polling = read_lines(res / "paced-polling.jsonl")
    unpaced = read_lines(res / "unpaced-shipping.jsonl")
    latency = read_lines(res / "latency.jsonl")
    mem_base = json.loads((res / "memory-baseline.json").read_text())
    mem_cam = json.loads((res / "memory-camera16.json").read_text())
    idle_ship = json.loads((res / "idle-shipping.json").read_text())
    idle_poll = json.loads((res / "idle-polling.json").read_text())
    micro = {}
    for name in ("micro-hex.json", "micro-link.json"):
        for b in json.loads((res / name).read_text())["benchmarks"]:
            micro[b["name"]] = b
    load = (res / "load.txt").read_text().strip().replace("\n", "; ")

    ship_table, ship_rows, ship_pauses = table(shipping)
    poll_table, poll_rows, _ = table(polling)
    ship_total = statistics.median(totals(shipping))
    poll_total = statistics.median(totals(polling))

    out = []
    out.append(f"The polling read loop takes {poll_total / ship_total:.2f} times as long as the shipping one "
               f"for the reference update ({poll_total:.1f} s against {ship_total:.1f} s, medians, "
               f"firmware restart pause left out).")
    out.append("")
    out.append("# Update speed against the line")
    out.append("")
    out.append(f"Written by `{a.command}` on {machine()}. Load average (1, 5, 15 min): {load}. "
               "Wall times carry whatever else the machine ran meanwhile; every figure is the median of the "
               "runs with the smallest and largest beside it. "
               "What the numbers mean, and what was changed to reach them, is in "
               "[speed-fixes.md](speed-fixes.md).")
    out.append("")
    out.append("The reference update: firmware Intel HEX of 128 KiB in 16-byte records (one round trip "
               "each), camera database 2 MiB, sound data 1 MiB, radar image 70000 bytes, in 4096-byte "
               "blocks. The virtual device (the one `iap-sim` runs) is served on a thread of `iap-bench`, "
               "paced like a 256000-baud line, 8N1, 10 bits a byte each way. Frames and bytes are what "
               "the device logged; the wire bound is their time on the line; the wall time of a stage "
               "runs from its start command written to its result shown. One command is in flight at a "
               "time, so the bound adds both directions.")
    out.append("")
    out.append("![Wall time against the wire bound per stage](performance.png)")
    out.append("")
    out.append(f"## As it ships ({len(shipping)} runs)")
    out.append("")
    out.append(ship_table)
    out.append("")
    out.append(f"The device's restart after its firmware, shortened to {a.pause_ms} ms here (10 s in use), "
               f"took {spread(ship_pauses, '{:.3f}')} s and is in no row above.")
    out.append("")
    out.append(f"## Polling design ({len(polling)} runs): the read loop sleeps the full 10 ms read pause "
               "after every read")
    out.append("")
    out.append(poll_table)
    out.append("")

    out.append("## Host cost per round trip, unpaced")
    out.append("")
    out.append("The device without line pacing, 10000 firmware records: the time from the device's answer "
               "to a record written to the next record read by the device. It holds everything that is "
               "not wire: both sides' passes through the pseudo-terminal, the host's wake-ups, its "
               "dispatch and its write.")
    out.append("")
    out.append("| Run | Round trips | Median (ms) | 99th percentile (ms) | Longest (ms) |")
    out.append("|---:|---:|---:|---:|---:|")
    for i, run in enumerate(unpaced, 1):
        t = run["turns"]
        out.append(f"| {i} | {t['count']} | {t['median_s'] * 1e3:.3f} | {t['p99_s'] * 1e3:.3f} | "
                   f"{t['max_s'] * 1e3:.3f} |")
    turn_median = statistics.median(r["turns"]["median_s"] for r in unpaced)
    turn_p99 = statistics.median(r["turns"]["p99_s"] for r in unpaced)
    out.append("")

    out.append("## Memory and idle cost")
    out.append("")
    image_kib = mem_cam["blocks"] * 4
    base_kib = mem_base["peak_hwm_kib"]
    peak_kib = mem_cam["peak_hwm_kib"]
    out.append(f"Against the `iap-sim` program at 256000 baud. Peak resident memory of `iap-bench` with no "
               f"update files, connected: {base_kib / 1024:.1f} MiB. With a 16 MiB camera database "
               f"({mem_cam['blocks']} blocks), watched for 3 s after its stage began, the longest send "
               f"queue was {mem_cam['longest_queue']} frames (the whole image queued) and the peak "
               f"{peak_kib / 1024:.1f} MiB: {(peak_kib - base_kib) / image_kib:.2f} times the image above "
               f"the baseline.")
    out.append("")
    out.append(f"CPU time of a connected, idle tool over {idle_ship['wall_s']:.1f} s: "
               f"{idle_ship['cpu_s'] * 1e3:.1f} ms, {idle_ship['core_share'] * 100:.3f} % of one core "
               f"(polling design: {idle_poll['cpu_s'] * 1e3:.1f} ms, {idle_poll['core_share'] * 100:.3f} %).")
    out.append("")

    out.append("## Answers held back, as by a USB adapter")
    out.append("")
    out.append("A USB serial adapter without low latency holds received bytes for up to 16 ms; with it, "
               "about 1 ms. The device's answer delay stands in for that hold, on 2048 firmware records "
               "(32 KiB), paced at 256000 baud:")
    out.append("")
    out.append("| Answers held | Stage wall (s) | Per record (ms) | Firmware rate (KiB/s) | "
               "128 KiB firmware at that rate (s) |")
    out.append("|---:|---:|---:|---:|---:|")
    for run in latency:
        s = run["stages"][0]
        records = s["frames_out"] - 2
        per = s["wall_s"] / records
        rate = records * 16 / 1024 / s["wall_s"]
        out.append(f"| {run['answer_delay_ms']} ms | {s['wall_s']:.2f} | {per * 1e3:.2f} | {rate:.1f} | "
                   f"{128 / rate:.1f} |")
    out.append("")

    out.append("## Micro-benchmarks (Google Benchmark, `bench/`)")
    out.append("")
    out.append("| Benchmark | Time |")
    out.append("|---|---:|")
    for name, b in micro.items():
        extra = ""
        if "median_us" in b:
            extra = f" (median {b['median_us']:.1f} µs, 99th percentile {b['p99_us']:.1f} µs)"
        out.append(f"| {name} | {b['real_time']:.3f} {b['time_unit']}{extra} |")
    out.append("")

    out.append("## Targets")
    out.append("")
    out.append("| Target | Measured | |")
    out.append("|---|---|---|")
    for stage, row in ship_rows.items():
        t = row["traffic"]
        ratio = statistics.median(row["walls"]) / wire_s(t["bytes_out"] + t["bytes_in"])
        out.append(f"| stage {stage} ({STAGES.get(stage, '')}) paced, wall at most {TARGET_RATIO} times "
                   f"the wire bound | {ratio:.3f} | {verdict(ratio <= TARGET_RATIO)} |")
    out.append(f"| unpaced host cost per round trip, median below {TARGET_MEDIAN_S * 1e3:.1f} ms | "
               f"{turn_median * 1e3:.3f} ms | {verdict(turn_median < TARGET_MEDIAN_S)} |")
    out.append(f"| unpaced host cost per round trip, 99th percentile below {TARGET_P99_S * 1e3:.0f} ms | "
               f"{turn_p99 * 1e3:.3f} ms | {verdict(turn_p99 < TARGET_P99_S)} |")
    out.append(f"| idle, below {TARGET_IDLE * 100:.0f} % of one core | {idle_ship['core_share'] * 100:.3f} % | "
               f"{verdict(idle_ship['core_share'] < TARGET_IDLE)} |")
    limit = TARGET_MEMORY_FACTOR * image_kib + base_kib
    out.append(f"| peak memory below {TARGET_MEMORY_FACTOR} times the image plus the baseline "
               f"({limit / 1024:.1f} MiB) | {peak_kib / 1024:.1f} MiB | {verdict(peak_kib < limit)} |")
    out.append("")
    Path(a.markdown).write_text("\n".join(out))

    # The chart's table: stage, wire bound, then median, min and max wall of
    # each design.
    data = ["# stage\twire_s\tshipping_s\tshipping_min\tshipping_max\tpolling_s\tpolling_min\tpolling_max"]
    for stage, row in ship_rows.items():
        t = row["traffic"]
        p = poll_rows[stage]["walls"]
        w = row["walls"]
        data.append(f"\"{stage} {STAGES.get(stage, '')}\"\t{wire_s(t['bytes_out'] + t['bytes_in']):.4f}\t"
                    f"{statistics.median(w):.4f}\t{min(w):.4f}\t{max(w):.4f}\t"
                    f"{statistics.median(p):.4f}\t{min(p):.4f}\t{max(p):.4f}")
    Path(a.chart_data).write_text("\n".join(data) + "\n")


if __name__ == "__main__":
    main()
