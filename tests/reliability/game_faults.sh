#!/usr/bin/env bash
# Faults the real game survives, on a private X server (run through tools/with-xvfb.sh):
# SIGTERM, SIGINT, SIGHUP twice in a moment (a closed terminal) and SIGHUP then SIGTERM (a
# logout) during play, no audio device, the audio device failing mid-game, a disk
# that refuses the saves, a "data" folder that is a file, an OpenGL too old to draw with, and
# the X server going away under the game. Each case runs its own copy of
# the game (the executable and data/ in a fresh folder), plays a little, and checks the exit
# status and the two settings files.
# Each step waits to see the game react (tests/e2e/drive_game.py reads the screen), with
# deadlines long enough for a loaded machine or a sanitizer build.
# Usage: game_faults.sh PATH/TO/vextral [CASE...]
set -uo pipefail

exe=$1
shift
drive=$(dirname "$0")/../e2e/drive_game.py
python=${VEXTRAL_PYTHON3:-python3}
source_data=$(dirname "$exe")/data
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(sigterm sigint sighup hangup_then_term no_audio audio_fails disk_refuses data_is_file
  old_opengl display_dies)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# A game that cannot save beside itself saves in the player's home: a private one here.
export HOME=$work/home
unset XDG_DATA_HOME

fail() {
  echo "FAIL [$case]: $*" >&2
  [ -f "$dir/stderr" ] && sed 's/^/  stderr: /' "$dir/stderr" | tail -n 20 >&2
  failures=$((failures + 1))
}

# A fresh folder with the game, its sounds and a best score of 12345.
setup() {
  dir=$work/$case
  mkdir -p "$dir/data"
  ln "$exe" "$dir/vextral" 2>/dev/null || cp "$exe" "$dir/vextral"
  cp "$source_data"/*.ogg "$dir/data/" 2>/dev/null
  printf '\x39\x30\x00\x00' >"$dir/data/hiscore.dat"
}

# Starts the game (the command's words before the executable come first), waits for its
# window and first frame, skips the splash, clicks Start Game, sees play begin, and lets it
# play a moment.
launch() {
  (cd / && exec "$@" "$dir/vextral" 2>"$dir/stderr" >/dev/null) &
  pid=$!
  local reason
  if ! reason=$("$python" -B "$drive" --pid "$pid" --shots "$dir/shots" 2>&1); then
    fail "$reason"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 1
  fi
  sleep 2
  return 0
}

# Sends the signals (one word, or several in a moment: "HUP HUP"), waits for the exit (at
# most a minute) and checks the status is expected.
stop_with() {
  local signal=$1 expected=${2:-0}
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    fail "the game ended by itself with status $?"
    return 1
  fi
  local one
  for one in $signal; do kill "-$one" "$pid"; done
  wait_for_exit "SIG$signal" "$expected"
}

# Waits at most a minute for the game to end after what happened (the first argument) and
# checks its status is the expected one.
wait_for_exit() {
  local what=$1 expected=$2 waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 600 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "still running a minute after $what"
    kill -KILL "$pid"
  fi
  wait "$pid"
  local status=$?
  [ $status -eq "$expected" ] || fail "exit status $status after $what, expected $expected"
}

bytes_of() { od -An -tx1 -v "$1" 2>/dev/null | tr -d ' \n'; }

expect_bytes() {  # file hex
  local actual
  actual=$(bytes_of "$1")
  [ "$actual" = "$2" ] || fail "$(basename "$1") holds '$actual', expected '$2'"
}

# Plays on an X server of the case's own (the command's words come before the executable,
# as for launch), then ends the server under the game, as a crashed session does: the game
# must end by itself with status 1, not spin on the dead connection. False if it never
# started.
lose_display_during_play() {
  Xvfb -displayfd 3 -screen 0 640x480x24 +extension GLX -nolisten tcp -noreset \
    3>"$dir/display" >/dev/null 2>&1 &
  local own_xvfb=$!
  for _ in $(seq 1 600); do
    [ -s "$dir/display" ] && break
    sleep 0.05
  done
  local shared_display=$DISPLAY launched=0
  export DISPLAY=":$(head -n1 "$dir/display")"
  launch "$@" && launched=1
  export DISPLAY=$shared_display
  kill $own_xvfb
  wait $own_xvfb 2>/dev/null
  [ $launched -eq 1 ] || return 1
  wait_for_exit "its display went" 1
}

for case in "${cases[@]}"; do
  echo "== $case"
  setup
  case $case in
    sigterm | sigint | sighup | hangup_then_term)
      launch env || continue
      case $case in
        # A closing terminal: the shell forwards SIGHUP and the kernel sends it again.
        sighup) stop_with "HUP HUP" ;;
        hangup_then_term) stop_with "HUP TERM" ;;
        *) signal=${case#sig} && stop_with "${signal^^}" ;;
      esac
      expect_bytes "$dir/data/hiscore.dat" 39300000
      expect_bytes "$dir/data/anaglyph3d.dat" 00000000
      # The game in play is kept as abandoned, as at any other exit.
      [ "$(head -c 4 "$dir/data/last.replay" 2>/dev/null)" = VXRP ] ||
        fail "the game in play was not kept in last.replay"
      ;;
    no_audio)
      launch env SDL_AUDIODRIVER=no-such-device || continue
      sleep 2
      stop_with TERM
      expect_bytes "$dir/data/anaglyph3d.dat" 00000000
      ;;
    audio_fails)
      # SDL's disk output writes the mix to a file that may not grow past 256 KB (about 1.5 s
      # of sound): from then on every write of the device fails, mid-game.
      launch env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw" \
        bash -c 'trap "" XFSZ; ulimit -f 256; exec "$0" "$@"' || continue
      # Waits (at most a minute) for the file to reach its limit, then plays on a moment.
      size=0
      for _ in $(seq 1 600); do
        size=$(stat -c %s "$dir/audio.raw" 2>/dev/null || echo 0)
        [ "$size" -ge 262144 ] && break
        sleep 0.1
      done
      sleep 2
      size=$(stat -c %s "$dir/audio.raw" 2>/dev/null || echo 0)
      [ "$size" -le 262144 ] || fail "the audio file grew to $size bytes past its limit"
      [ "$size" -eq 262144 ] || fail "the disk audio device stopped at $size bytes, short of its limit"
      stop_with TERM
      expect_bytes "$dir/data/hiscore.dat" 39300000
      expect_bytes "$dir/data/anaglyph3d.dat" 00000000
      ;;
    disk_refuses)
      printf '\x02\x00\x00\x00' >"$dir/data/anaglyph3d.dat"
      # No file of the game's may grow past 0 bytes: both saves fail at exit.
      launch bash -c 'trap "" XFSZ; ulimit -f 0; exec "$0" "$@"' || continue
      stop_with TERM
      expect_bytes "$dir/data/hiscore.dat" 39300000
      expect_bytes "$dir/data/anaglyph3d.dat" 02000000
      # A save writes ".<name>.<random>" beside the file first.
      leftovers=$(find "$dir/data" -name '.*.*')
      [ -z "$leftovers" ] || fail "temporary files left: $leftovers"
      ;;
    data_is_file)
      rm -rf "$dir/data"
      printf 'not a folder' >"$dir/data"
      launch env || continue
      stop_with TERM
      [ -f "$dir/data" ] && [ "$(cat "$dir/data")" = "not a folder" ] ||
        fail "the file named data was changed"
      ;;
    old_opengl)
      # Mesa made to offer only OpenGL 2.1 and ES 2.0: no kind of context the driver draws
      # through. The game must say so in one "render:" line and end with a failure status,
      # never crash, and leave the saves alone.
      (cd / && MESA_GL_VERSION_OVERRIDE=2.1 MESA_GLES_VERSION_OVERRIDE=2.0 \
        timeout 120 "$dir/vextral" 2>"$dir/stderr" >/dev/null)
      status=$?
      [ $status -eq 1 ] || fail "exit status $status, expected 1"
      grep -q '^render: this display gives no OpenGL 3.3 core or ES 3.0 context' "$dir/stderr" ||
        fail "no render: line naming the missing context"
      # The stopping line, which Windows shows in a message box, carries the reason too.
      grep -q '^render: could not open a 640 x 480 display (this display gives no OpenGL' \
        "$dir/stderr" || fail "the stopping line does not say why the display did not open"
      expect_bytes "$dir/data/hiscore.dat" 39300000
      ;;
    display_dies)
      lose_display_during_play env || continue
      grep -q '^render: the connection to the display was lost' "$dir/stderr" ||
        fail "no render: line saying the display was lost"
      expect_bytes "$dir/data/hiscore.dat" 39300000
      ;;
    *)
      fail "unknown case"
      ;;
  esac
done

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "all game fault cases held"
