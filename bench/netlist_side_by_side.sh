#!/usr/bin/env bash
# The netlists side by side with xschem's, in one run on one machine: the flat chain of N resistors
# and the hierarchy of M uses of a 10-resistor cell, ours as whole `netlist-dump` processes on
# project files (bench_design_tools, which writes them), xschem's as whole `xschem` processes
# writing a SPICE netlist of the same designs (written here in its schematic format). Medians of 5.
#
#   bench/netlist_side_by_side.sh [BUILD]     (BUILD: a release build folder, build-rel by default)
#
# Where xschem is not installed, our side runs alone and the script says so. PLEXA_SIDE_FLAT and
# PLEXA_SIDE_HIER choose the sizes, among those of bench_design_tools with PLEXA_BENCH_FULL=1.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-rel}
sizes_flat=${PLEXA_SIDE_FLAT:-"10000 30000 50000"}
sizes_hier=${PLEXA_SIDE_HIER:-"10000 100000"}
runs=5

bench=$build/bench/bench_design_tools
if [[ ! -x $bench ]]; then
    echo "no $bench: build it first (cmake --build $build --target bench_design_tools)" >&2
    exit 2
fi

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

# Ours: the whole netlist-dump processes, medians of $runs.
filter="BM_NetlistDump(Flat/(${sizes_flat// /|})|Hierarchical/(${sizes_hier// /|}))/"
ours=$(PLEXA_BENCH_FULL=1 "$bench" --benchmark_filter="$filter" --benchmark_repetitions=$runs \
           --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null | grep '_median' || true)
declare -A our_ms
while IFS=, read -r name _ real _; do
    name=${name//\"/}
    kind=${name#BM_NetlistDump}; kind=${kind%%/*}
    size=${name#*/}; size=${size%%/*}; size=${size%%_*}
    our_ms[$kind/$size]=$(awk -v ns="$real" 'BEGIN { printf "%.1f", ns }')
done <<< "$ours"

if ! command -v xschem > /dev/null; then
    echo "xschem is not installed: only our side was measured."
    printf '%-14s %8s %12s\n' design size "ours (ms)"
    for n in $sizes_flat; do printf '%-14s %8s %12s\n' flat "$n" "${our_ms[Flat/$n]:-?}"; done
    for m in $sizes_hier; do printf '%-14s %8s %12s\n' hierarchical "$m" "${our_ms[Hierarchical/$m]:-?}"; done
    exit 0
fi

work=$(mktemp -d /tmp/plexa-side-by-side.XXXXXX)
trap 'rm -rf "$work"' EXIT

header() { printf 'v {xschem version=3.4.4 file_version=1.2}\nG {}\nK {}\nV {}\nS {}\nE {}\n'; }

# A chain of n resistors (devices/res.sym: pins 30 above and below its origin), each link a wire
# labelled with its net, from $1's pin `in` to its pin `out`.
chain() {
    local n=$1 in=$2 out=$3
    awk -v n="$n" -v in_="$in" -v out="$out" 'BEGIN {
        for (i = 0; i < n; i++) {
            x = (i % 100) * 100; y = int(i / 100) * 200
            printf "C {devices/res.sym} %d %d 0 0 {name=R%d value=10k}\n", x, y, i + 1
            net = (i + 1 < n) ? "N" (i + 1) : out
            if (i + 1 < n) {
                nx = ((i + 1) % 100) * 100; ny = int((i + 1) / 100) * 200
                printf "N %d %d %d %d {lab=%s}\n", x, y + 30, nx, ny - 30, net
            } else {
                printf "N %d %d %d %d {lab=%s}\n", x, y + 30, x, y + 60, out
            }
        }
        printf "N 0 -30 0 -60 {lab=%s}\n", in_
    }'
}

flat_sheet() { header; chain "$1" IN OUT; }

cell_sheet() {
    header
    chain 10 IN OUT
    printf 'C {devices/ipin.sym} 0 -60 0 0 {name=p1 lab=IN}\n'
    printf 'C {devices/opin.sym} 900 90 0 0 {name=p2 lab=OUT}\n'
}

cell_symbol() {
    printf 'v {xschem version=3.4.4 file_version=1.2}\n'
    printf 'G {type=subcircuit\nformat="@name @pinlist @symname"\ntemplate="name=X1"\n}\nV {}\nS {}\nE {}\n'
    printf 'L 4 -20 -20 20 -20 {}\nL 4 -20 20 20 20 {}\n'
    printf 'B 5 -22.5 -2.5 -17.5 2.5 {name=IN dir=in}\nB 5 17.5 -2.5 22.5 2.5 {name=OUT dir=out}\n'
}

# m uses of the cell chained on one sheet.
hier_sheet() {
    header
    awk -v m="$1" -v cell="$work/cell.sym" 'BEGIN {
        for (i = 0; i < m; i++) {
            x = (i % 100) * 100; y = int(i / 100) * 100
            printf "C {%s} %d %d 0 0 {name=X%d}\n", cell, x, y, i + 1
            if (i + 1 < m) {
                nx = ((i + 1) % 100) * 100; ny = int((i + 1) / 100) * 100
                printf "N %d %d %d %d {lab=N%d}\n", x + 20, y, nx - 20, ny, i + 1
            }
        }
    }'
}

median_ms() {  # command...: the median wall time of $runs runs, in ms
    local times=()
    for _ in $(seq $runs); do
        local start end
        start=$(date +%s%N)
        "$@" > /dev/null 2>&1
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] / 1000 }'
}

xschem_netlist() {  # sheet: xschem's whole process writing its SPICE netlist
    xschem -q -x -n -s -o "$work/out" "$1"
}

mkdir -p "$work/out"
cell_sheet > "$work/cell.sch"
cell_symbol > "$work/cell.sym"
printf '%-14s %8s %12s %14s %8s\n' design size "ours (ms)" "xschem (ms)" "xschem/ours"
for n in $sizes_flat; do
    flat_sheet "$n" > "$work/flat$n.sch"
    theirs=$(median_ms xschem_netlist "$work/flat$n.sch")
    o=${our_ms[Flat/$n]:-}
    printf '%-14s %8s %12s %14s %8s\n' flat "$n" "${o:-?}" "$theirs" \
        "$( [[ -n $o ]] && awk -v a="$theirs" -v b="$o" 'BEGIN { printf "%.2f", a / b }' || echo '?')"
done
for m in $sizes_hier; do
    hier_sheet "$m" > "$work/hier$m.sch"
    theirs=$(median_ms xschem_netlist "$work/hier$m.sch")
    o=${our_ms[Hierarchical/$m]:-}
    printf '%-14s %8s %12s %14s %8s\n' hierarchical "$m" "${o:-?}" "$theirs" \
        "$( [[ -n $o ]] && awk -v a="$theirs" -v b="$o" 'BEGIN { printf "%.2f", a / b }' || echo '?')"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
