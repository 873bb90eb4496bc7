#!/usr/bin/env bash
# The main job, run by "./run demo" on a freshly built tree ($1). Until the
# reference host exists it writes log records through both logger variants
# and shows where the files went.
set -euo pipefail
build=$1
bin="$build/bin"
today=$(date +%F)

echo "== Narrow logger (built into the plug-ins): $bin/LogDemo.exe"
"$bin/LogDemo.exe"
echo
echo "== Wide logger (built into the agent): $bin/LogDemoW.exe"
"$bin/LogDemoW.exe"
echo
echo "== Daily log files in $bin/Log"
ls -l "$bin/Log" || true
echo
show() {  # show <file> <command that renders its bytes>
  if [ -f "$1" ]; then
    tail -n 3 "$1" | $2 | tr -d '\r'
  else
    echo "(not there: a qlxlogger.cfg in $bin may have moved the files)"
  fi
}
echo "-- $bin/Log/LogDemo $today.log (last 3 records, bytes as written):"
show "$bin/Log/LogDemo $today.log" cat
echo "-- $bin/Log/LogDemoW $today.log (last 3 records, code page 936 shown as UTF-8):"
show "$bin/Log/LogDemoW $today.log" "iconv -f CP936 -t UTF-8"
echo
echo "Settings: $bin/qlxlogger.cfg ([config] print_flag, log_level, save_dir) for the narrow logger."
