#!/usr/bin/env bash
# Rewrites every NAME.expected from the current tamlo-script. Read the diff before
# committing: the expected reports are the program's contract.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runner=${1:-$here/../../build/default/tools/tamlo-script}
for session in "$here"/*.session; do
  "$runner" < "$session" > "${session%.session}.expected"
done
git -C "$here" diff --stat -- .
