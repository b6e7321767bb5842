#!/bin/bash
# A cluster of two ranks on this machine (each engine Max CPUs 1) against one
# engine with Max CPUs CPUS: 200 games at 10+0.1, one at a time, the first 100
# openings each played with both colours. The games go in four chunks of 50
# (25 openings each) into OUT; a chunk whose report is complete is skipped,
# so an interrupted run is resumed by running the same command again.
#
#   tools/strength/cluster_vs_single.sh CPUS OUT [BINDIR]
#
# BINDIR holds tolvo and tolvo-cluster (default: build). Both sides get Hash 64.
# CHUNKS="3 4" in the environment plays only those chunks.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shared=$(cd "$here/../../../shared" && pwd)
cpus=${1:?CPUS of the single engine}
out=${2:?output directory}
bindir=$(cd "${3:-build}" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The cluster as one engine command: mpirun with two ranks; its log per match.
cat > "$out/cluster.sh" <<CMD
#!/bin/sh
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
exec mpirun --oversubscribe -np 2 "$bindir/tolvo-cluster" --engine "$bindir/tolvo" --log "$out/cluster-\$\$.log"
CMD
chmod +x "$out/cluster.sh"

for n in ${CHUNKS:-1 2 3 4}; do
  log="$out/chunk-$n.log"
  if grep -q "^Score of" "$log" 2>/dev/null; then continue; fi
  sed -n "$(( (n - 1) * 25 + 1 )),$(( n * 25 ))p" "$shared/data/openings.epd" > "$out/open$n.epd"
  python3 "$shared/tools/match.py" \
    --engine1 "$out/cluster.sh" --name1 cluster2x1 \
    --option1 "Max CPUs=1" --option1 "Hash=64" \
    --engine2 "$bindir/tolvo" --name2 "single$cpus" \
    --option2 "Max CPUs=$cpus" --option2 "Hash=64" \
    --openings "$out/open$n.epd" --games 50 --tc 10+0.1 --concurrency 1 \
    --pgn "$out/chunk-$n.pgn" > "$log" 2>&1
done
grep -h -A4 "^Score of" "$out"/chunk-*.log
