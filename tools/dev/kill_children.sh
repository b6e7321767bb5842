#!/usr/bin/env bash
# Robustness drill for the process group: every few seconds, kill -9 the
# children of every running engine whose program path matches $1 (default
# "tolvo"). Run it beside a match; stop it with Ctrl-C.
#   tools/dev/kill_children.sh /work/bin/tolvo-g 7
pattern=${1:-tolvo}
interval=${2:-7}
kills=0
while sleep "$interval"; do
  for parent in $(pgrep -f -x "$pattern"); do
    for child in $(pgrep -P "$parent"); do
      kill -9 "$child" 2>/dev/null && kills=$((kills + 1)) && echo "$(date +%T) killed child $child of $parent ($kills)"
    done
  done
done
