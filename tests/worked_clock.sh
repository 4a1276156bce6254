#!/usr/bin/env bash
# Prints, for faketime's FAKETIME, the UTC date of the second that gives the worked field, read
# from the C++ tests' description of that field.
set -euo pipefail
seed=$(sed -n 's/.*WORKED_SEED = \([0-9]*\);/\1/p' "$(dirname "$0")/worked_field.h")
[[ -n $seed ]] || { echo "cannot read WORKED_SEED from worked_field.h" >&2; exit 1; }
date -u -d "@$seed" '+%Y-%m-%d %H:%M:%S'
