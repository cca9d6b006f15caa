#!/usr/bin/env bash
# Side-by-side performance run: builds in Release into build-bench/, runs our code and the
# libraries a developer would pick instead on the same cases in the same run, prints a
# table (case, ours, peer, ratio, goal, met) and writes it as JSON to
# build/bench/results.json.
#
#   bench/run.sh [--quick] [--rounds N] [--compare OLD.json]
#
# Every case runs in N rounds (default 3, interleaved so a slow minute of the machine
# lands in one round of each case, not in every round of one); each row is the median
# over the rounds, with the smallest and largest kept in results.json. --compare prints,
# after the table, each row's change against an earlier results.json.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
quick=""
rounds=3
old_results=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick="--quick" ;;
    --rounds)
      rounds="${2:-}"
      shift
      ;;
    --compare)
      old_results="${2:-}"
      shift
      ;;
    *)
      echo "usage: $0 [--quick] [--rounds N] [--compare OLD.json]" >&2
      exit 2
      ;;
  esac
  shift
done
if ! [[ "$rounds" =~ ^[1-9][0-9]*$ ]]; then
  echo "bench: --rounds takes a whole number of at least 1" >&2
  exit 2
fi
if [ -n "$old_results" ] && [ ! -r "$old_results" ]; then
  echo "bench: cannot read $old_results" >&2
  exit 2
fi
# Kept aside now: the run overwrites build/bench/results.json, which may be the old file.
if [ -n "$old_results" ]; then
  old_copy=$(mktemp)
  cp "$old_results" "$old_copy"
fi

# The game's own dependencies, then the peers used only here.
if [ -x tools/install-deps.sh ]; then tools/install-deps.sh --test >/dev/null; fi
peers="libopenal-dev libsdl2-mixer-dev"
missing=""
for package in $peers; do
  dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
if [ -n "$missing" ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get install -y --no-install-recommends $missing >/dev/null
fi

build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXTRAL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vextral vextral-sim mixer_compare render_compare pacing_compare display_compare \
  loaders_compare collision_compare heavy_frame_compare startup_compare first_frame_probe \
  peer_openal_mix peer_sdl_mixer_mix peer_sdl_render peer_gl_array peer_pacing peer_first_frame >/dev/null
compare="$build/bench/compare"
peer="$build/bench/peers"
xvfb="$root/tools/with-xvfb.sh"
raws=$(mktemp -d)
rows=$(mktemp)
trap 'rm -rf "$raws" "$rows" ${old_copy:+"$old_copy"}' EXIT

step() { echo "bench: round $round of $rounds: $*" >&2; }
run_round() {
  step "mixer"
  "$compare/mixer_compare" $quick >>"$raw"
  "$peer/peer_openal_mix" $quick >>"$raw"
  "$peer/peer_sdl_mixer_mix" $quick 2>/dev/null >>"$raw"
  step "renderer"
  "$xvfb" "$compare/render_compare" $quick >>"$raw"
  VEXTRAL_GL_CONTEXT=es "$xvfb" "$compare/render_compare" $quick >>"$raw"
  "$xvfb" "$peer/peer_sdl_render" $quick >>"$raw"
  "$xvfb" "$peer/peer_gl_array" $quick >>"$raw"
  step "heavy game frame"
  SDL_AUDIODRIVER=dummy "$xvfb" "$compare/heavy_frame_compare" $quick 2>/dev/null >>"$raw"
  VEXTRAL_GL_CONTEXT=es SDL_AUDIODRIVER=dummy "$xvfb" "$compare/heavy_frame_compare" $quick \
    2>/dev/null >>"$raw"
  pixels=$(awk '$1 == "heavy_pixels" { print $2 }' "$raw")
  "$xvfb" "$peer/peer_gl_array" $quick --fill "$(awk -v p="$pixels" 'BEGIN { printf "%d", p / 1024 }')" >>"$raw"
  step "frame pacing (both loops at once, $([ -n "$quick" ] && echo 10 || echo 60) s)"
  "$xvfb" bash -c "'$compare/pacing_compare' $quick & '$peer/peer_pacing' $quick; wait" >>"$raw"
  step "simulated displays"
  "$compare/display_compare" >>"$raw"
  step "loaders"
  "$compare/loaders_compare" $quick >>"$raw"
  step "collision"
  "$compare/collision_compare" $quick 2>/dev/null >>"$raw"
  step "start-up"
  SDL_AUDIODRIVER=dummy "$xvfb" "$compare/startup_compare" startup "$build/bench/compare/libfirst_frame_probe.so" \
    "$build/game/vextral" $quick >>"$raw"
  "$xvfb" "$compare/startup_compare" bare_startup "$build/bench/compare/libfirst_frame_probe.so" \
    "$peer/peer_first_frame" $quick >>"$raw"
  step "simulator"
  frames=$([ -n "$quick" ] && echo 20000 || echo 100000)
  # Its games are kept in a folder of its own, not in a data/ of the working folder.
  sim_data=$(mktemp -d)
  start=$(date +%s.%N)
  "$build/tools/sim/vextral-sim" --random-input --frames "$frames" --data "$sim_data" >/dev/null
  end=$(date +%s.%N)
  rm -rf "$sim_data"
  echo "sim_fps $(awk -v f="$frames" -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", f / (b - a) }')" >>"$raw"
}

# Rows: case|ours key|peer key or a constant|unit|goal text|test on ours (o), peer (p), ratio (r).
{
  cat <<'ROWS'
mixer: 1 voice, us/block|mix_us_1|openal_us_1|us|report|1
mixer: 64 voices, us/block vs OpenAL|mix_us_64|openal_us_64|us|report|1
mixer: 64 voices, us/block vs SDL_mixer|mix_us_64|sdlmixer_us_64|us|report|1
mixer: cost per extra voice vs OpenAL|mix_voice_us|openal_voice_us|us|ratio <= 0.9|r <= 0.9
mixer: cost per extra voice vs SDL_mixer|mix_voice_us|sdlmixer_voice_us|us|ratio <= 1.0|r <= 1.0
mixer: 1 voice, run loop vs scalar path|mix_us_1|mix_scalar_us_1|us|report|1
mixer: 64 voices, run loop vs scalar path|mix_us_64|mix_scalar_us_64|us|report|1
mixer: 32 voices, us/block|mix_us_32|openal_us_32|us|ours <= 100 us|o <= 100
mixer: 60 s sine SNR loss vs double precision|mix_sine_snr_loss_db|=0|dB|<= 1 dB|o <= 1
mixer: frames played after 60 s, error|mix_frames_played_error|=0|frames|exactly 0|o == 0
mixer: full-scale sums, wrapped values|mix_full_scale_wrong_values|=0|values|0|o == 0
render: empty frame vs SDL renderer|render_empty_ms|sdl_render_empty_ms|ms|ratio <= 1.2|r <= 1.2
render: 500 nearest vs SDL renderer|render_nearest_500_ms|sdl_render_nearest_500_ms|ms|ratio <= 0.9|r <= 0.9
render: 2000 nearest vs SDL renderer|render_nearest_2000_ms|sdl_render_nearest_2000_ms|ms|ratio <= 0.9|r <= 0.9
render: 500 linear vs SDL renderer|render_linear_500_ms|sdl_render_linear_500_ms|ms|ratio <= 0.9|r <= 0.9
render: 2000 linear vs SDL renderer|render_linear_2000_ms|sdl_render_linear_2000_ms|ms|ratio <= 0.9|r <= 0.9
render: 500 nearest vs one vertex array|render_nearest_500_ms|gl_array_nearest_500_ms|ms|ratio <= 1.05|r <= 1.05
render: 2000 nearest vs one vertex array|render_nearest_2000_ms|gl_array_nearest_2000_ms|ms|ratio <= 1.05|r <= 1.05
render: 500 linear vs one vertex array|render_linear_500_ms|gl_array_linear_500_ms|ms|ratio <= 1.05|r <= 1.05
render: 2000 linear vs one vertex array|render_linear_2000_ms|gl_array_linear_2000_ms|ms|ratio <= 1.05|r <= 1.05
render: empty frame, ES context vs core context|render_es_empty_ms|render_empty_ms|ms|report|1
render: 500 nearest, ES context vs core context|render_es_nearest_500_ms|render_nearest_500_ms|ms|report|1
render: 2000 nearest, ES context vs core context|render_es_nearest_2000_ms|render_nearest_2000_ms|ms|report|1
render: 500 linear, ES context vs core context|render_es_linear_500_ms|render_linear_500_ms|ms|report|1
render: 2000 linear, ES context vs core context|render_es_linear_2000_ms|render_linear_2000_ms|ms|report|1
heavy stereo frame: median work + present, ES context vs core context|heavy_es_median_ms|heavy_median_ms|ms|report|1
heavy stereo frame: p99 work + present, ES context vs core context|heavy_es_p99_ms|heavy_p99_ms|ms|report|1
heavy stereo frame: p99 work + present|heavy_p99_ms|gl_fill_ms|ms|ours <= 11 ms|o <= 11
heavy stereo frame: median work + present|heavy_median_ms|gl_fill_ms|ms|report|1
heavy stereo frame: median work vs same pixels as one array|heavy_work_median_ms|gl_fill_ms|ms|report|1
heavy stereo frame: median present|heavy_present_median_ms|=0|ms|report|1
display: pacing, median abs(interval - 16.667)|pacing_median_ms|bare_pacing_median_ms|ms|ours <= 0.1|o <= 0.1
display: pacing, p99 abs(interval - 16.667)|pacing_p99_ms|bare_pacing_p99_ms|ms|ours <= 0.5, ratio <= 1.2|o <= 0.5 && r <= 1.2
display: pacing, p99.9 abs(interval - 16.667)|pacing_p999_ms|bare_pacing_p999_ms|ms|ours <= 2, ratio <= 1.2|o <= 2 && r <= 1.2
display: pacing, drift per minute|pacing_drift_ms_per_min|bare_pacing_drift_ms_per_min|ms|ours < 1|o < 1
display: pacing alone, median abs(interval - 16.667)|pacing_only_median_ms|bare_pacing_only_median_ms|ms|ours <= 0.1|o <= 0.1
display: pacing alone, p99.9 abs(interval - 16.667)|pacing_only_p999_ms|bare_pacing_only_p999_ms|ms|ratio <= 1.2|r <= 1.2
display: pacing, CPU per second of pacing|pacing_cpu_percent|bare_pacing_cpu_percent|%|ours <= 1.5 %|o <= 1.5
ROWS
  # Each simulated display: exactly 60 updates a second (a 59.94 Hz display runs the game at
  # its own rate) and, where it can show every frame at a blank, no tearing.
  for rate in 50 59_94 60 62 75 120 144 165 240 none; do
    label="${rate/_/.} Hz" ups="60.0 within 0.1 %|o >= 59.94 && o <= 60.06" torn="0|o == 0"
    [ "$rate" = none ] && label="no sync" torn="report|1"
    [ "$rate" = 50 ] && torn="report|1"
    [ "$rate" = 59_94 ] && ups="59.94 within 0.1 %|o >= 59.88 && o <= 60.0"
    echo "display: $label, updates per second|display_ups_$rate|=60|ups|$ups"
    echo "display: $label, torn flips in 10 s|display_torn_$rate|=0|flips|$torn"
    echo "display: $label, p99 presented interval|display_p99_interval_${rate}_ms|=0|ms|report|1"
  done
  # Frames of 18 to 20 ms: as many updates as the frames allow (52.6 a second), never half.
  for rate in 50 59_94 60 62 75 120 144 165 240 none; do
    label="${rate/_/.} Hz"
    [ "$rate" = none ] && label="no sync"
    echo "display: $label, slow frames, updates per second|display_slow_${rate}_ups|=0|ups|>= 50|o >= 50"
    echo "display: $label, slow frames, torn flips in 10 s|display_slow_${rate}_torn|=0|flips|report|1"
    echo "display: $label, slow frames, CPU per second of pacing|display_slow_${rate}_cpu_percent|=0|%|report|1"
  done
  # A move to a display of another rate after 5 of the 10 s: 60 updates a second across it.
  for change in 120_60 120_144 120_240 60_75 60_50; do
    label="${change%_*} to ${change#*_} Hz" torn="0|o == 0"
    [ "$change" = 60_50 ] && torn="report|1"
    echo "display: $label, updates per second|display_change_${change}_ups|=60|ups|60.0 within 1 %|o >= 59.4 && o <= 60.6"
    echo "display: $label, torn flips in 10 s|display_change_${change}_torn|=0|flips|$torn"
    echo "display: $label, CPU per second of pacing|display_change_${change}_cpu_percent|=0|%|report|1"
  done
  # The same with frames of 9 to 12 ms, which miss the blanks of faster displays.
  for change in 60_75 120_60 60_144; do
    label="${change%_*} to ${change#*_} Hz, heavy frames"
    echo "display: $label, updates per second|display_heavy_change_${change}_ups|=60|ups|60.0 within 1 %|o >= 59.4 && o <= 60.6"
    echo "display: $label, torn flips in 10 s|display_heavy_change_${change}_torn|=0|flips|report|1"
    echo "display: $label, CPU per second of pacing|display_heavy_change_${change}_cpu_percent|=0|%|report|1"
  done
  cat <<'ROWS'
loader: sprite sheet PNG|load_sprites_png_ms|bare_sprites_png_ms|ms|ratio <= 1.1|r <= 1.1
loader: backdrop PNG|load_backdrop_png_ms|bare_backdrop_png_ms|ms|ratio <= 1.1|r <= 1.1
loader: title music Ogg|load_t_track_ogg_ms|bare_t_track_ogg_ms|ms|ratio <= 1.1|r <= 1.1
loader: play music Ogg|load_p_track_ogg_ms|bare_p_track_ogg_ms|ms|ratio <= 1.1|r <= 1.1
loader: 95 glyphs at size 22|load_font_glyphs_ms|bare_font_glyphs_ms|ms|ratio <= 1.1, ours < 1 ms|r <= 1.1 && o < 1
collision: agreement with brute force|collision_agree_percent|=100|%|100 %|o >= 100
collision: time of all pairs vs brute force|collision_ours_ms|collision_brute_ms|ms|ratio <= 0.1|r <= 0.1
start-up: exec to first frame vs bare SDL window|startup_ms|bare_startup_ms|ms|ratio <= 2.5|r <= 2.5
simulator: frames per second, random player|sim_fps|=0|fps|report|1
ROWS
} >"$rows"

for round in $(seq "$rounds"); do
  raw="$raws/round$round"
  run_round
  # Derived figures: cost per extra voice between 1 and 64 voices, within the round.
  awk '{ v[$1] = $2 } END {
    split("mix openal sdlmixer", names, " ")
    for (i in names) if ((names[i] "_us_64") in v)
      printf "%s_voice_us %.6g\n", names[i], (v[names[i] "_us_64"] - v[names[i] "_us_1"]) / 63 }' "$raw" >>"$raw"
done

mkdir -p "$root/build/bench"
json="$root/build/bench/results.json"
python3 "$root/bench/results.py" table "$rows" "$raws" "$json" $quick
echo "bench: $rounds rounds; results written to $json" >&2
if [ -n "$old_results" ]; then
  echo
  echo "Against $old_results:"
  python3 "$root/bench/results.py" compare "$old_copy" "$json"
fi
