#!/usr/bin/env bash
# Mutation check of the native tests (not part of the test command): draws
# seeded single-point mutants of the portable code of src/ and cli/, builds and
# tests each, and prints killed / survived / did not build / timed out with the
# survivors by file and line. scripts/mutate.py --help lists the options
# (--count, --seed, --ids, --only, --list, --matrix, --sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
command -v python3 >/dev/null || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo; $sudo apt-get install -y -qq python3; }
exec python3 scripts/mutate.py "$@"
