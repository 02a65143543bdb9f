#!/bin/sh
# Run under xvfb-run, the one test that opens real SDL windows. First SDL_CHECK drives
# a small dialog through SDL's own event queue. Then the main dialog of
# `tesselume apply IN -o OUT --dialog` opens, a screenshot of its window is taken from
# the X server and checked for its size (834 x 740) and that it is not blank, and the
# program is killed: it must leave no output.
#   dialog_window.sh TESSELUME SDL_CHECK WORKDIR
set -eu
program=$1
check=$2
work=$3
mkdir -p "$work"
TESSELUME_UI=sdl "$check" || { echo "the SDL dialog check failed"; exit 1; }
for tool in xwininfo import identify; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is missing"; exit 77; }
done
"$program" render -o "$work/in.png" --size 64x48
TESSELUME_UI=sdl "$program" apply "$work/in.png" -o "$work/out.png" --dialog >"$work/run.log" 2>&1 &
pid=$!
trap 'kill -9 $pid 2>/dev/null || true' EXIT

# Wait for the window by its title and capture it once it is shown (up to 60 s: the
# machine may be busy, and a window may be replaced while it opens).
captured=""
tries=0
while [ -z "$captured" ] && [ $tries -lt 120 ]; do
  sleep 0.5
  tries=$((tries + 1))
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Tesselume"/ { print $1; exit }')
  [ -n "$window" ] || continue
  sleep 1  # let the first paint reach the server
  import -window "$window" "$work/window.png" 2>/dev/null && captured=$window
done
[ -n "$captured" ] || { echo "no window titled Tesselume could be captured"; cat "$work/run.log"; exit 1; }
size=$(identify -format '%w x %h' "$work/window.png")
deviation=$(identify -format '%[fx:standard_deviation]' "$work/window.png")
echo "window $captured: $size, standard deviation $deviation"
[ "$size" = "834 x 740" ] || { echo "the window is $size, not 834 x 740"; exit 1; }
awk -v d="$deviation" 'BEGIN { exit !(d > 0.05) }' || { echo "the window is blank"; exit 1; }
kill $pid
wait $pid 2>/dev/null || true
[ ! -e "$work/out.png" ] || { echo "a killed run left $work/out.png"; exit 1; }
