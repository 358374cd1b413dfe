#!/usr/bin/env python3
"""Prints the side-by-side ratios from the benchmarks' JSON output.

    bench/ratios.py run.json stats.json

run.json from kelvane_run_bench (the program named Ondrava.exe), stats.json
from kelvane_stats_bench, both run with --benchmark_format=json.
"""
import json
import sys


def times(path):
    """Each benchmark's median (the aggregate, where repeated) and its best
    repetition."""
    with open(path) as f:
        data = json.load(f)
    result, best = {}, {}
    for b in data["benchmarks"]:
        name = b["run_name"] if "run_name" in b else b["name"]
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                result[name] = b
            continue
        result.setdefault(name, b)
        if name not in best or ns(b) < ns(best[name]):
            best[name] = b
    return result, best


def ns(b):
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
    return b["real_time"] * scale


def main(run_path, stats_path):
    run, run_best = times(run_path)
    print("Whole run beside the floor (same host calls, no plugin work):")
    print(f"  {'maps':>6}  {'floor':>12}  {'run':>12}  {'run/floor':>9}  {'with p':>12}  {'p per t map':>12}  allocations")
    for n in (1, 100, 10000):
        floor, plain, with_p = run[f"BM_Floor/{n}"], run[f"BM_Run/{n}"], run[f"BM_RunWithP/{n}"]
        per_map = (ns(with_p) - ns(plain)) / n
        print(f"  {n:>6}  {ns(floor):>10.0f}ns  {ns(plain):>10.0f}ns  {ns(plain) / ns(floor):>9.2f}"
              f"  {ns(with_p):>10.0f}ns  {per_map:>10.0f}ns  {int(plain['allocations'])}")

    ps = ["0.05", "0.001", "1e-5", "1e-6", "1e-8", "0.2", "0.6"]
    dfs = [5, 20, 100, 1000, 100000]
    header = "".join(f"{'p ' + p:>8}" for p in ps)

    def table(title, ours_name, boost_name, source):
        print(title)
        print(f"  {'df':>6}{header}")
        for d, df in enumerate(dfs):
            cells = "".join(f"{ns(source[f'{ours_name}/{d}/{p}']) / ns(source[f'{boost_name}/{d}/{p}']):>8.2f}"
                            for p in range(len(ps)))
            print(f"  {df:>6}{cells}")

    table("\np to t through a whole run over 1,500 t maps beside 1,500 Boost.Math quantiles"
          " (time ratio, best repetitions):", "BM_RunWithPAt", "BM_BoostQuantiles", run_best)

    stats, stats_best = times(stats_path)
    table("\nt_from_p beside Boost.Math's students_t quantile (time ratio, best repetitions):",
          "BM_t_from_p", "BM_boost_t_quantile", stats_best)
    table("\nThe plain walk (every point evaluated) beside the same:",
          "BM_t_from_p_plain", "BM_boost_t_quantile", stats_best)
    print("\nEvaluations per conversion: the walk's exact ones + the accurate tail's"
          " (-1: the plain walk evaluates every point):")
    print(f"  {'df':>6}{header}")
    for d, df in enumerate(dfs):
        cells = "".join(f"{int(stats[f'BM_t_from_p/{d}/{p}']['exact']):>5}+{int(stats[f'BM_t_from_p/{d}/{p}']['tail']):<2}"
                        for p in range(len(ps)))
        print(f"  {df:>6}{cells}")
    print("\nbetai beside boost::math::ibeta at t = 2.2:")
    for d, df in enumerate(dfs):
        ours, boost = stats[f"BM_betai/{d}"], stats[f"BM_boost_ibeta/{d}"]
        print(f"  df {df:>6}  {ns(ours):>8.0f}ns vs {ns(boost):>8.0f}ns  ratio {ns(ours) / ns(boost):.2f}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
