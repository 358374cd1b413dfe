#!/usr/bin/env python3
"""Prints the side-by-side ratios from the benchmarks' JSON output.

    bench/ratios.py run.json stats.json

run.json from kelvane_run_bench (the program named Ondrava.exe), stats.json
from kelvane_stats_bench, both run with --benchmark_format=json.
"""
import json
import sys


def times(path):
    with open(path) as f:
        data = json.load(f)
    result = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        result[b["run_name"] if "run_name" in b else b["name"]] = b
    return result


def ns(b):
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
    return b["real_time"] * scale


def main(run_path, stats_path):
    run = times(run_path)
    print("Whole run beside the floor (same host calls, no plugin work):")
    print(f"  {'maps':>6}  {'floor':>12}  {'run':>12}  {'run/floor':>9}  {'with p':>12}  {'p per t map':>12}  allocations")
    for n in (1, 100, 10000):
        floor, plain, with_p = run[f"BM_Floor/{n}"], run[f"BM_Run/{n}"], run[f"BM_RunWithP/{n}"]
        per_map = (ns(with_p) - ns(plain)) / n
        print(f"  {n:>6}  {ns(floor):>10.0f}ns  {ns(plain):>10.0f}ns  {ns(plain) / ns(floor):>9.2f}"
              f"  {ns(with_p):>10.0f}ns  {per_map:>10.0f}ns  {int(plain['allocations'])}")

    labels = {0: "0.05", 1: "0.001", 2: "1e-6 (beyond the walk)"}
    dfs = {0: 20, 1: 100, 2: 1000, 3: 100000}
    print("\np to t through a whole run over 1,500 t maps beside 1,500 Boost.Math quantiles (time ratio):")
    for d in dfs:
        for p in labels:
            ours, boost = run[f"BM_RunWithPAt/{d}/{p}"], run[f"BM_BoostQuantiles/{d}/{p}"]
            print(f"  df {dfs[d]:>6}  p {labels[p]:<24} {ns(ours) / 1e3:>8.0f}us vs {ns(boost) / 1e3:>8.0f}us"
                  f"  ratio {ns(ours) / ns(boost):.2f}")

    stats = times(stats_path)
    print("\nt_from_p beside Boost.Math's students_t quantile (time ratio, below 1 is faster),")
    print("and the plain walk (every point evaluated) beside both:")
    for d in dfs:
        for p in labels:
            ours, boost = stats[f"BM_t_from_p/{d}/{p}"], stats[f"BM_boost_t_quantile/{d}/{p}"]
            plain = stats[f"BM_t_from_p_plain/{d}/{p}"]
            print(f"  df {dfs[d]:>6}  p {labels[p]:<24} {ns(ours):>8.0f}ns vs {ns(boost):>8.0f}ns  ratio {ns(ours) / ns(boost):.2f}"
                  f"   plain walk {ns(plain):>8.0f}ns, ratio {ns(plain) / ns(boost):.2f}, fast/plain {ns(ours) / ns(plain):.2f}")
    print("\nbetai beside boost::math::ibeta at t = 2.2:")
    for d in dfs:
        ours, boost = stats[f"BM_betai/{d}"], stats[f"BM_boost_ibeta/{d}"]
        print(f"  df {dfs[d]:>6}  {ns(ours):>8.0f}ns vs {ns(boost):>8.0f}ns  ratio {ns(ours) / ns(boost):.2f}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
