#!/usr/bin/env bash
# Takes the screenshots in docs/ under Xvfb, with openbox as the window manager and xdotool at the keys,
# against the default simulated Mac and the bundled reference lists served on loopback: every window at
# its default size on a 1280 by 800 screen and again on an 800 by 600 one, the main window on a 1280 by
# 800 screen at a scale factor of 1.5 and with Bigger Text, the four menus, and the offer of a newer
# version.
#   scripts/screenshots.sh [OUT_DIR]        (docs/ by default)
# Needs: apt-get install xvfb openbox xdotool x11-utils imagemagick
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/docs}
mkdir -p "$out"
"$top/scripts/build.sh" "$top/build" >/dev/null

work=$(mktemp -d)
pids=()
stop_session() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap 'stop_session; rm -rf "$work"' EXIT

# start_session WIDTHxHEIGHT SCALE REFERENCE_DIR [SETTINGS]: a screen, a window manager, the reference
# server and the application, with the check run finished.
start_session() {
  local size=$1 scale=$2 reference=$3 settings=${4:-noUpdateCheck=true}
  export DISPLAY=:$((40 + RANDOM % 50))
  Xvfb "$DISPLAY" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
  local portfile="$work/port"
  rm -f "$portfile"
  "$top/build/tools/lq-refserver" --root "$reference" --port 0 --port-file "$portfile" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ -s $portfile ]] && break; sleep 0.05; done
  rm -rf "$work/config"
  mkdir -p "$work/config/lanternquill"
  printf '[General]\n%s\n' "$settings" >"$work/config/lanternquill/Lanternquill.conf"
  XDG_CONFIG_HOME="$work/config" QT_SCALE_FACTOR=$scale "$top/build/lanternquill" \
    --system-root "$top/sim/apple-silicon" --reference-url "http://127.0.0.1:$(cat "$portfile")/" \
    >"$work/app.log" 2>&1 &
  pids+=($!)
  main=$(timeout 20 xdotool search --sync --name '^Lanternquill 2' | head -1)
  sleep 4 # the check run and the launch tasks
}

# The window called NAME (a regular expression), once it is on screen.
window_named() { timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1; }

# Sets X, Y, WIDTH and HEIGHT to the place of the window's inside on the screen.
inside_of() {
  local info
  info=$(xwininfo -id "$1")
  X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  WIDTH=$(sed -n 's/.*Width: *//p' <<<"$info")
  HEIGHT=$(sed -n 's/.*Height: *//p' <<<"$info")
}

# shoot_window WINDOW FILE: the window with its frame, cut from the whole screen.
shoot_window() {
  local id=$1 file=$2
  inside_of "$id"
  local extents
  extents=$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  read -r left right top_ bottom <<<"$extents"
  sleep 0.5
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "$((WIDTH + left + right))x$((HEIGHT + top_ + bottom))+$((X - left))+$((Y - top_))" \
    +repage "$file"
}

shoot_screen() {
  sleep 0.5
  import -window root "$1"
}

# shoot_whole_screen WINDOW FILE: the whole screen with the window on it.
shoot_whole_screen() { shoot_screen "$2"; }

# In the main window: Settings (Ctrl+,), the manual (F1), the marks (Help menu) and the named update
# window (File menu), each shot by `shoot` and put away again from the keyboard.
shoot_every_window() {
  local shoot=$1 suffix=$2 id
  "$shoot" "$main" "$out/main-window$suffix.png"
  xdotool windowactivate --sync "$main" key ctrl+comma
  id=$(window_named '^Lanternquill Settings$')
  "$shoot" "$id" "$out/settings-window$suffix.png"
  xdotool windowactivate --sync "$id" key Escape
  xdotool windowactivate --sync "$main" key F1
  id=$(window_named '^Lanternquill Manual$')
  sleep 1 # the manual's pages
  "$shoot" "$id" "$out/help-window$suffix.png"
  xdotool windowactivate --sync "$id" key Escape
  open_menu 3 # the manual is highlighted
  xdotool key Down Return
  id=$(window_named '^Marks and Sources$')
  "$shoot" "$id" "$out/marks-window$suffix.png"
  xdotool windowactivate --sync "$id" key Escape
  open_menu 1 # Check is highlighted
  xdotool key Down Down Down Return
  id=$(window_named 'Updater$')
  "$shoot" "$id" "$out/named-update-window$suffix.png"
  xdotool windowactivate --sync "$id" key ctrl+w
}

# open_menu N: opens the main window's Nth menu (0: the application menu) by clicking its title and
# moving right; a menu reached by moving right opens with its first item highlighted.
open_menu() {
  inside_of "$main"
  xdotool windowactivate --sync "$main" mousemove $((X + 30)) $((Y + 8)) click 1
  sleep 0.3
  for _ in $(seq "$1"); do xdotool key Right; done
  sleep 0.3
}

echo "== 1280 by 800"
start_session 1280x800 1 "$top/reference"
shoot_every_window shoot_window ""
for n in 0 1 2 3; do
  open_menu "$n"
  shoot_screen "$work/menu$n.png"
  read -r left _ top_ _ <<<"$(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
  convert "$work/menu$n.png" -crop "640x420+$((X - left))+$((Y - top_))" +repage "$work/menu$n.png"
  xdotool key Escape
done
montage "$work"/menu{0,1,2,3}.png -tile 2x2 -geometry +0+0 "$out/main-window-menus.png"
stop_session

echo "== 800 by 600"
start_session 800x600 1 "$top/reference"
shoot_every_window shoot_whole_screen "-800x600"
stop_session

echo "== 1280 by 800 at a scale factor of 1.5"
start_session 1280x800 1.5 "$top/reference"
shoot_screen "$out/main-window-scaled.png"
stop_session

echo "== Bigger Text, the verdicts with the report"
start_session 1280x800 1 "$top/reference" "$(printf 'noUpdateCheck=true\nfontSize=18')"
shoot_window "$main" "$out/main-window-bigger-text.png"
stop_session

echo "== the offer of a newer version"
cp -r "$top/reference" "$work/reference"
sed -i 's/lanternquill-2\.0\.0\.dmg/lanternquill-2.1.0.dmg/; s/<string>2\.0\.0</<string>2.1.0</' \
  "$work/reference/brindledapps.plist"
start_session 1280x800 1 "$work/reference" "noUpdateCheck=false"
shoot_window "$(window_named '^Lanternquill$')" "$out/update-alert.png"
stop_session

echo "Screenshots in $out"
