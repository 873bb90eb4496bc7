#!/usr/bin/env bash
# The main job, run by "./run demo" on a freshly built tree ($1).
set -euo pipefail
build=$1
echo "Built deliverables in $build/bin:"
ls "$build/bin"
