#!/usr/bin/env bash
# Starts the real program under a virtual X server and saves PNG pictures of
# the three pages, the About box and the file-open dialog into the folder
# given (default build/screenshots). Files named after the folder are given
# to the program on its command line. Installs the few X tools it needs when
# they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
mkdir -p "$out"
out=$(realpath "$out")
files=()
for file in "${@:2}"; do files+=("$(realpath "$file")"); done

scripts/setup.sh
tools=(xdotool x11-apps imagemagick)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${TAVRIN_BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TESTS=OFF >/dev/null
cmake --build "$build" --target tavrin >/dev/null

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
program=
cleanup() {
  [[ -n $program ]] && kill "$program" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

# A run folder of its own keeps the settings of other runs out of the pictures.
run=$(mktemp -d)
cp "$build/app/tavrin" "$run/tavrin"
"$run/tavrin" "${files[@]}" &
program=$!

wait_for() {  # window title -> window id
  for _ in $(seq 1 50); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [[ -n $id ]] && {
      echo "$id"
      return
    }
    sleep 0.2
  done
  echo "screenshots: no window titled $1" >&2
  exit 1
}
shot() {  # window id, file
  sleep 0.5
  xwd -silent -id "$1" | convert xwd:- "$2"
  echo "$2"
}

main=$(wait_for '^Tavrin$')
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
shot "$main" "$out/page1-target.png"
xdotool key --window "$main" ctrl+Tab
shot "$main" "$out/page2-defaults.png"
xdotool key --window "$main" ctrl+Tab
shot "$main" "$out/page3-batch.png"
xdotool key --window "$main" alt+h
sleep 0.3
xdotool key Down Return
about=$(wait_for 'バージョン情報')
shot "$about" "$out/about.png"
xdotool key --window "$about" Return 2>/dev/null || true
# Back on the first page, the button beside the file name box browses.
sleep 0.5
xdotool key --window "$main" ctrl+Tab
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 510 $((HEIGHT - 30)) click 1
dialog=$(wait_for 'ファイルを開く')
shot "$dialog" "$out/open-dialog.png"
xdotool key --window "$dialog" Escape 2>/dev/null || true
