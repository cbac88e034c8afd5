#!/usr/bin/env bash
# Drives the real kelp program on a virtual X screen (1600x1000) the way a
# person would, with key presses: the very first start with an archive named
# on the command line (set-up question answered No), the pop-up menu's
# "Extract" and the extract dialog, the Delete key answered Yes, and Exit;
# then a second start on an archive of odd names driven by the keyboard
# alone from the first moment (Down, Ctrl+Home, End, Up, Delete, "y"), where
# each delete must take exactly the member of its row. unzip checks what
# ended up on disk.
#
#   xvfb_session_test.sh KELP_BINARY
#
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

kelp=${1:?usage: xvfb_session_test.sh KELP_BINARY}

if [[ ${KELP_XVFB_INSIDE:-} != 1 ]]; then
  for tool in xvfb-run Xvfb xdotool unzip python3; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed (scripts/install-deps installs it)"
      exit 77
    fi
  done
  # Everything the program reads or writes stays in a folder of this run.
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export KELP_XVFB_WORK=$work KELP_XVFB_INSIDE=1
  # Every wait inside is bounded; xvfb-run ends its server when the inner
  # script ends, which ends the program on its way out.
  status=0
  xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" "$BASH" "$0" "$kelp" || status=$?
  exit $status
fi

# --- Inside the virtual screen ----------------------------------------------
work=$KELP_XVFB_WORK
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache KELP_CONFIG_HOME=$work/config TMPDIR=$work/tmp
unset XDG_DESKTOP_DIR QT_QPA_PLATFORM
mkdir -p "$HOME/Desktop" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$KELP_CONFIG_HOME" "$TMPDIR"
desktop=$HOME/Desktop  # the program's current folder, the extract dialog's default

# On a failure the screen is saved to $KELP_XVFB_SHOT when that is set (and
# ImageMagick's import is there), to see what the program showed.
fail() {
  echo "FAIL: $*" >&2
  if [[ -n ${KELP_XVFB_SHOT:-} ]] && command -v import >/dev/null; then
    import -window root "$KELP_XVFB_SHOT" || true
  fi
  exit 1
}

# Waits up to $1 seconds for a window whose name matches the regular
# expression $2 and prints its id.
wait_window() {
  local deadline=$((SECONDS + $1)) id
  while ((SECONDS < deadline)); do
    id=$(timeout 5 xdotool search --onlyvisible --name "$2" 2>/dev/null | tail -n 1 || true)
    if [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || fail "kelp ended while waiting for a window named '$2'"
    sleep 0.2
  done
  fail "no window named '$2' within $1 s"
}

# Waits up to $1 seconds until the command in the remaining arguments succeeds.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Gives window $1 the keyboard (there is no window manager to do it) and
# types the keys that follow.
keys_to() {
  local id=$1
  shift
  timeout 10 xdotool windowfocus --sync "$id" || fail "window $id did not take the focus"
  timeout 20 xdotool key --delay 80 "$@"
}

archive=$work/sample.zip
python3 - "$archive" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("first.txt", "the member the Delete key removes\n")
    z.writestr("docs/readme.txt", "Kelp under a real X server\n" * 50)
    z.writestr("data/values.csv", "".join("%d;%d\n" % (i, i * i) for i in range(2000)))
EOF

"$kelp" "$archive" >"$work/kelp.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# The very first start asks about the file association; No (Escape) keeps
# the desktop untouched, and the archive named on the command line opens.
question=$(wait_window 30 '^KELP  [0-9.]+$')
keys_to "$question" Escape

main=$(wait_window 30 "^KELP  .* -$archive")
title=$(timeout 5 xdotool getwindowname "$main")
[[ $title =~ ^KELP\ \ [0-9.]+\ -$archive$ ]] || fail "caption is '$title'"
read -r width height < <(timeout 5 xdotool getwindowgeometry --shell "$main" |
  awk -F= '/^WIDTH/ {w = $2} /^HEIGHT/ {h = $2} END {print w, h}')
((width >= 1000 && width <= 1100 && height >= 600)) ||
  fail "first window is ${width}x$height, not two thirds of the 1600x1000 screen"

# A click into the grid gives it the keyboard; every row is selected from
# there (Page Up selects the first row alone, Shift+Page Down extends to the
# last), the pop-up menu's "&Extract" is chosen and the extract dialog's OK
# takes the folder it offers, the current one: the desktop.
timeout 10 xdotool mousemove --window "$main" $((width / 2)) $((height / 2)) click 1
keys_to "$main" Prior shift+Next Menu
sleep 0.5
timeout 10 xdotool key e
dialog=$(wait_window 20 '^Extract All stuff$')
keys_to "$dialog" Return
for member in first.txt docs/readme.txt data/values.csv; do
  wait_until 30 test -f "$desktop/$member" || fail "$member was not extracted to $desktop"
done
mkdir "$work/expected"
unzip -q "$archive" -d "$work/expected"
# The last member may still be being written.
wait_until 30 diff -r "$work/expected" "$desktop" ||
  fail "the extracted files differ from unzip's: $(diff -rq "$work/expected" "$desktop")"

# The first row alone, the Delete key, and Yes to "    Are you sure?...".
keys_to "$main" Prior Delete
confirm=$(wait_window 20 '^KELP  [0-9.]+$')
keys_to "$confirm" y
wait_until 30 bash -c "! unzip -Z1 '$archive' | grep -qx first.txt" ||
  fail "first.txt is still in the archive"
unzip -tq "$archive" >/dev/null || fail "unzip -t finds the archive damaged after the delete"
[[ $(unzip -Z1 "$archive" | sort | tr '\n' ' ') == "data/values.csv docs/readme.txt " ]] ||
  fail "the archive holds: $(unzip -Z1 "$archive" | tr '\n' ' ')"

# "&Exit" (Ctrl+X) saves the settings, the window's size and place with them.
keys_to "$main" ctrl+x
wait_until 20 bash -c "! kill -0 $pid" || fail "kelp did not end on Ctrl+X"
grep -q '^WindowWidth=n:' "$KELP_CONFIG_HOME/settings" || fail "the window's size was not saved"
# --- Second start: the keyboard from the first moment, and exact names -----
# Odd member names: a "*" that is no wildcard beside the names it would
# match, and "c++" beside "c". first.txt is the first row.
odd=$work/odd.zip
python3 - "$odd" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name in ("first.txt", "a*.txt", "abc.txt", "axe.txt", "c++", "c"):
        z.writestr(name, "member " + name + "\n")
EOF

members() { unzip -Z1 "$odd" | LC_ALL=C sort | tr '\n' ' '; }
# Waits until the archive holds exactly the members named in $1 (sorted,
# each followed by a blank); $2 names the step for the failure message.
expect_members() {
  local deadline=$((SECONDS + 30))
  until [[ $(members) == "$1" ]]; do
    ((SECONDS < deadline)) || fail "$2: the archive holds: $(members)"
    sleep 0.2
  done
  unzip -tq "$odd" >/dev/null || fail "$2: unzip -t finds the archive damaged"
}
# Presses Delete in the main window and "y" in the question it asks.
delete_yes() {
  keys_to "$main" Delete
  confirm=$(wait_window 20 '^KELP  [0-9.]+$')
  keys_to "$confirm" y
}

"$kelp" "$odd" >"$work/kelp2.log" 2>&1 &
pid=$!
main=$(wait_window 30 "^KELP  .* -$odd")
# No click: the grid has the keyboard as the window opens, and Down selects
# the first row.
keys_to "$main" Down
delete_yes
expect_members "a*.txt abc.txt axe.txt c c++ " "Down, Delete and y right after the start"

# Ctrl+Home selects the first row, a*.txt: exactly that member goes.
keys_to "$main" ctrl+Home
delete_yes
expect_members "abc.txt axe.txt c c++ " "Ctrl+Home, Delete and y on a*.txt"

# c++ is the row above the last one (c): End, Up, Delete and y take exactly c++.
keys_to "$main" End Up
delete_yes
expect_members "abc.txt axe.txt c " "End, Up, Delete and y on c++"

keys_to "$main" ctrl+x
wait_until 20 bash -c "! kill -0 $pid" || fail "kelp did not end on Ctrl+X the second time"
echo "PASS: opened, extracted, deleted and checked with unzip on a 1600x1000 X screen;"
echo "PASS: with the keyboard alone, Delete took exactly first.txt, a*.txt and c++"
