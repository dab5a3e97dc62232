#!/bin/bash
# Smoke test of the Windows build under Wine:
#   imports    the executable needs only kernel32, msvcrt and winmm
#   headless   --record writes the same bytes as the Linux build, from the
#              first tick and from a later one (--start)
#   console    in an 80x50 tmux pane the plasma is drawn, --key-after ends the
#              show with exit code 0, and a key press ends it too
#   timer      the mean tick period is 16.5 to 17.5 ms
#   music      with GStreamer's plugins and a null sound device the play
#              command succeeds, from its start and from a later position
#              (--start); without them the show still runs to exit 0
# Usage: wine_smoke.sh WINDOWS_EXE LINUX_BUILD_DIR
# Every step is bounded by a timeout; the Wine prefix, HOME and tmux server
# are private to the run and removed after it.
set -u

exe=$(realpath "${1:?usage: wine_smoke.sh WINDOWS_EXE LINUX_BUILD_DIR}")
build=$(realpath "${2:?usage: wine_smoke.sh WINDOWS_EXE LINUX_BUILD_DIR}")
work=$(mktemp -d /tmp/cellshow-wine.XXXXXX)
socket="cellshow-wine-$$"
failures=0
started=$SECONDS

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME="$work/home"
mkdir -p "$HOME" "$work/show" "$work/silent-home" "$work/no-plugins"
# A sound device that takes the audio and plays nothing.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"

cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  timeout 10 wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

pass() { echo "  ok    $*"; }
fail() {
  echo "  FAIL  $*"
  failures=$((failures + 1))
}

# Waits up to $2 seconds for file $1 to exist.
wait_for_file() {
  local deadline=$((SECONDS + $2))
  while [ ! -s "$1" ] && [ $SECONDS -lt $deadline ]; do sleep 0.5; done
  [ -s "$1" ]
}

# Starts the Windows build in a new 80x50 pane named $1, in a show folder of
# its own (the show opens its files unshared, so two runs at once need two
# copies), with the environment and arguments that follow; its exit code goes
# to $work/$1.rc and its stderr to $work/$1.err.
start_in_pane() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  cp -r "$build/data" "$work/$name/data"
  local env=()
  while [ $# -gt 0 ] && [[ $1 == *=* ]]; do
    env+=("$1")
    shift
  done
  local command
  command="cd '$work/$name' && env ${env[*]} timeout --foreground 90 wine '$exe' $*"
  command+=" 2>'$work/$name.err'; echo \$? >'$work/$name.rc'; sleep 600"
  tmux -L "$socket" new-session -d -s "$name" -x 80 -y 50 "$command"
}

pane() { tmux -L "$socket" capture-pane -p -e -t "$1"; }

# The black-on-red band: rows 35 to 39 of the plasma have a red background.
# capture-pane sends only the changes of colour, so the background is
# followed across the lines; a row counts when red is its background at some
# point.
band_rows() {
  pane "$1" | awk '
    {
      line = $0
      red = (bg == 41)
      while (match(line, /\033\[[0-9;]*m/)) {
        n = split(substr(line, RSTART + 2, RLENGTH - 3), p, ";")
        line = substr(line, RSTART + RLENGTH)
        if (n == 0) bg = 0
        for (i = 1; i <= n; i++) {
          v = p[i] + 0
          if (v == 0 || v == 49) bg = 0
          else if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107)) bg = v
          else if (v == 38 || v == 48) i += (p[i + 1] == 5) ? 2 : 4
        }
        if (bg == 41) red = 1
      }
      if (NR >= 36 && NR <= 40 && red) count++
    }
    END { print count + 0 }'
}

# Waits up to $2 seconds for pane $1 to show the band; saves the capture.
wait_for_band() {
  local deadline=$((SECONDS + $2))
  while [ $SECONDS -lt $deadline ]; do
    if [ "$(band_rows "$1")" = 5 ]; then
      sleep 2  # the overlay picture comes in with the first seconds
      pane "$1" >"$work/$1.capture"
      return 0
    fi
    sleep 0.5
  done
  return 1
}

# A figure from the --stats lines that run $1 wrote (with Windows line ends).
stat_value() { tr -d '\r' <"$work/$1.err" | sed -n "s/^  $2 *\([0-9.]*\).*/\1/p" | head -1; }

echo "== Windows build under Wine ($(wine --version 2>/dev/null))"

dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
if [ "$dlls" = "kernel32.dll msvcrt.dll winmm.dll " ]; then
  pass "imports: $dlls"
else
  fail "imports: $dlls(want kernel32.dll msvcrt.dll winmm.dll)"
fi

if ! timeout 180 wineboot -i >"$work/wineboot.log" 2>&1; then
  fail "wineboot -i did not finish"
  tail -5 "$work/wineboot.log"
  exit 1
fi
pass "prefix ready after $((SECONDS - started)) s"

ln -s "$build/data" "$work/show/data"

# The command line, and standard output that is not a console (a file here):
# a clear line and exit code 2, never a hang.
check_exit() {
  local want=$1 message=$2
  shift 2
  (cd "$work/show" && timeout 30 wine "$exe" "$@" >"$work/command.out" 2>&1)
  local rc=$?
  local out
  out=$(tr -d '\r' <"$work/command.out")
  if [ "$rc" = "$want" ] && [[ $out == *"$message"* ]]; then
    pass "$*: exit code $rc, '$message'"
  else
    fail "$*: exit code $rc (want $want), output: $out"
  fi
}
check_exit 0 "Usage: cellshow" --help
check_exit 2 "unknown option '--bogus'" --bogus
check_exit 2 "'nowhere' is not a folder" --data nowhere
check_exit 2 "standard output is not a console" --key-after 5

# Headless: the whole show, and one ended by --key-after, byte for byte.
for args in "" "--key-after 100" "--start 30 --key-after 100"; do
  (cd "$work/show" && timeout 60 wine "$exe" --record win.bin $args >/dev/null 2>"$work/rec.err")
  win=$?
  (cd "$work/show" && timeout 60 "$build/cellshow" --record linux.bin $args)
  linux=$?
  if [ $win = 0 ] && [ $linux = 0 ] && cmp -s "$work/show/win.bin" "$work/show/linux.bin"; then
    pass "--record $args: $(stat -c %s "$work/show/win.bin") bytes, identical to the Linux build's"
  else
    fail "--record $args: exit codes $win (Windows) and $linux (Linux), recordings differ or missing"
    cat "$work/rec.err"
  fi
done

# Two runs in parallel, each ended by --key-after 1320, shortly after the
# music starts (end of tick 1296): one with the plugins and the null device,
# one where GStreamer finds no plugins and ALSA no device.
start_in_pane music --key-after 1320 --stats
start_in_pane silent "HOME=$work/silent-home" "GST_PLUGIN_SYSTEM_PATH_1_0=$work/no-plugins" \
  "GST_PLUGIN_PATH_1_0=$work/no-plugins" "GST_REGISTRY_1_0=$work/no-plugins/registry.bin" \
  --key-after 1320 --stats
# Started 30 s in: the music is sent "from" where it is by then.
start_in_pane late --start 30 --key-after 120 --stats

if wait_for_band music 20; then
  pass "console: the plasma's red band fills rows 35 to 39 of the pane"
  sed -n '30,42p' "$work/music.capture" | sed 's/\x1b\[[0-9;]*m//g' | sed 's/^/          | /'
else
  fail "console: no red band in the pane"
  pane music | sed 's/\x1b\[[0-9;]*m//g' | tail -20
fi

for name in music silent; do
  if ! wait_for_file "$work/$name.rc" 60; then
    fail "$name: the show did not end"
    continue
  fi
  rc=$(cat "$work/$name.rc")
  ticks=$(stat_value "$name" "ticks run")
  period=$(stat_value "$name" "mean tick period")
  music=$(tr -d '\r' <"$work/$name.err" | sed -n 's/^  music *//p')
  if [ "$rc" = 0 ] && [ "$ticks" = 1320 ]; then
    pass "$name: --key-after 1320 ended the show after 1320 ticks, exit code 0"
  else
    fail "$name: exit code $rc after ${ticks:-?} ticks"
    cat "$work/$name.err"
  fi
  if [ -n "$period" ] && awk -v p="$period" 'BEGIN { exit !(p >= 16.5 && p <= 17.5) }'; then
    pass "$name: mean tick period $period ms ($(grep -o 'lateness.*' "$work/$name.err"))"
  else
    fail "$name: mean tick period ${period:-missing}"
  fi
  case "$name:$music" in
    music:playing) pass "music: the play command succeeded" ;;
    silent:failed*) pass "silent: the play command failed cleanly ($music)" ;;
    *) fail "$name: music '$music'" ;;
  esac
done

if wait_for_file "$work/late.rc" 60 && [ "$(cat "$work/late.rc")" = 0 ] &&
  [ "$(stat_value late "ticks run")" = 120 ] &&
  [ "$(tr -d '\r' <"$work/late.err" | sed -n 's/^  music *//p')" = playing ]; then
  pass "late: --start 30 played 120 ticks, the music's play from its position succeeded"
else
  fail "late: exit code $(cat "$work/late.rc" 2>/dev/null), $(tr -d '\r' <"$work/late.err")"
fi

# A key press ends the show at once, and the key stays in the input.
start_in_pane key --stats
if wait_for_band key 20; then
  tmux -L "$socket" send-keys -t key x
  if wait_for_file "$work/key.rc" 10 && [ "$(cat "$work/key.rc")" = 0 ]; then
    pass "key: a key press ended the show after $(stat_value key "ticks run") ticks, exit code 0"
  else
    fail "key: the show did not end on a key press"
  fi
else
  fail "key: the show did not start"
fi

echo "== $failures failures, $((SECONDS - started)) s"
[ $failures = 0 ]
