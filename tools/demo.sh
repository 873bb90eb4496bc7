#!/usr/bin/env bash
# The main job, run by "./run demo" on a freshly built tree ($1): qlxhost
# plans and publishes a generated sample tree on two simulated robots through
# the Windows XP path (Velnor.dll, one Kestrane.exe agent per robot), then
# watches the fake libusb for a few seconds. All five deliverables take part.
set -euo pipefail
build=$(cd "${1:?usage: demo.sh BUILD_DIR}" && pwd)
bin="$build/bin"
qlxhost="$bin/qlxhost"
work=$(mktemp -d "${TMPDIR:-/tmp}/qlx-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT

section() { printf '\n== %s\n' "$*"; }

# A few hundred files: small letters and reports, photos of two years, and
# three large videos as sparse files (no disc space used).
make_sample_tree() {
  local root=$1 i
  mkdir -p "$root/docs/letters" "$root/docs/reports" "$root/photos/2019" "$root/photos/2020" \
    "$root/video" "$root/every-disc"
  for i in $(seq -w 1 120); do
    printf 'Letter %s\n' "$i" >"$root/docs/letters/letter-$i.txt"
  done
  for i in $(seq -w 1 80); do
    truncate -s $(((10#$i * 7919) % 900 + 20))K "$root/docs/reports/report-$i.pdf"
  done
  for i in $(seq -w 1 60); do
    truncate -s $(((10#$i * 104729) % 9 + 6))M "$root/photos/2019/img-$i.jpg" \
      "$root/photos/2020/img-$i.jpg"
  done
  truncate -s 2600M "$root/video/concert.mp4"
  truncate -s 1900M "$root/video/interview.mp4"
  truncate -s 3100M "$root/video/lecture.mp4"
  printf 'Disc index and viewer\n' >"$root/every-disc/README.txt"
}

sample="$work/sample"
make_sample_tree "$sample"
items=("$sample/docs" "$sample/photos" "$sample/video")
layout=(--disc DVD --split 0 --every-disc "$sample/every-disc")

# The robot simulator (PTRobot.dll) with two robots; agents inherit this.
export QLX_SIM_ROBOTS=2
export QLX_SIM_JOURNAL="$work/robot-journal.txt"

section "Sample tree: $(find "$sample" -type f | wc -l) files," \
  "$(du -sh --apparent-size "$sample" | cut -f1) (sparse) in $sample"

section "qlxhost plan ... ${layout[*]}   (Partivo.dll)"
"$qlxhost" plan "${items[@]}" "${layout[@]}"

section "qlxhost robot list   (Dravent.dll over the robot simulator PTRobot.dll)"
"$qlxhost" robot list
robots=()
for handle in $("$qlxhost" robot list --json | sed -n 's/.*"handle": \([0-9]*\).*/\1/p'); do
  robots+=(--robot "$handle")
done

section "qlxhost publish ... --xp ${robots[*]}   (Windows XP path: Velnor.dll, Kestrane.exe per robot)"
: >"$QLX_SIM_JOURNAL"
QLX_WINDOWS_VERSION=5.1 "$qlxhost" publish "${items[@]}" "${layout[@]}" --xp "${robots[@]}"
echo "Vendor calls per agent process id (from the simulator's journal):"
awk '{print $1}' "$QLX_SIM_JOURNAL" | sort | uniq -c | awk '{printf "  %s: %s calls\n", $2, $1}'
echo "Discs put in an output bin: $(grep -c 'PTRobot_UnLoadPrinter(.*, 2)$' "$QLX_SIM_JOURNAL")"

section "qlxhost usb watch --seconds 3   (Wendrik.dll over the fake libusb-1.0.dll)"
cat >"$work/usb-events.txt" <<'EOF'
device 1d6b 0002 1
at 600 attach 04b4 8613 7
at 1200 attach 0bda 8153 9
at 2200 detach 7
EOF
QLX_FAKEUSB_SCRIPT="$work/usb-events.txt" "$qlxhost" usb watch --seconds 3

section "Log files in $bin/Log"
(cd "$bin/Log" && ls -l -- *.log) || true
echo "and $(find "$bin/Log" -maxdepth 1 -name 'PTRobot*.dbg' | wc -l) debug and trace files" \
  "of the vendor library, one pair per agent process (PTRobot*.dbg)"
