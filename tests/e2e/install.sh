#!/usr/bin/env bash
# cmake --install into a scratch prefix: both programs in bin, a manual page
# for each in share/man/man1 that names every option the program's --help
# lists, the installed player runs, and the installed renderer loads its
# video codecs from the installation (never at start).
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" || fail "cmake --install: $(cat "$prefix/install.log")"
for program in vortane vortane-render; do
  [ -x "$prefix/bin/$program" ] || fail "no $prefix/bin/$program"
  page="$prefix/share/man/man1/$program.1"
  [ -f "$page" ] || fail "no manual page $page"
  # Every option of --help is in the page (roff writes - as \-).
  for option in $("$prefix/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$(printf '%s' "$option" | sed 's/-/\\-/g')" "$page" || fail "$page lacks $option"
  done
  if command -v man >/dev/null; then
    MANWIDTH=80 man -l "$page" 2>&1 >/dev/null | grep . && fail "$page has formatting warnings"
  fi
done
"$prefix/bin/vortane" --version | grep -qx "vortane [0-9.]*" || fail "the installed player does not run"
readelf -d "$prefix/bin/vortane-render" | grep -q 'NEEDED.*libav' && fail "vortane-render links the video codecs"
"$prefix/bin/vortane-render" --video "$prefix/v.mp4" --fps 10 --from 20000 --to 20200 --size 64x48 "$2" \
  2>"$prefix/video.log" && [ -s "$prefix/v.mp4" ] || fail "the installed renderer wrote no video: $(cat "$prefix/video.log")"
echo "install: ok"
