#!/usr/bin/env bash
# Checks a built corvane .deb the way a user and a distribution would meet it: lintian, its
# control fields, its exact file list, the desktop entry, the AppStream metadata, the manual
# pages and the icon, then unpacks it into a scratch root, runs corvane-cli and starts the
# unpacked window program headless to see that it comes up with its window and icon.
# The expected version comes from version.env, which CMake writes into the build folder
# (CORVANE_BUILD_DIR, by default the folder above the .deb's packages/ folder).
# Usage: scripts/check-package.sh [path/to/corvane_VERSION_ARCH.deb]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

deb=${1:-}
if [[ -z "$deb" ]]; then
  shopt -s nullglob
  found=("$here"/build/packages/corvane_*.deb)
  [[ ${#found[@]} -eq 1 ]] || { echo "check-package: give the .deb to check (found ${#found[@]})"; exit 2; }
  deb=${found[0]}
fi
[[ -f "$deb" ]] || { echo "check-package: no such file: $deb"; exit 2; }
version_env=${CORVANE_BUILD_DIR:-$(dirname "$deb")/..}/version.env
[[ -f "$version_env" ]] || { echo "check-package: no $version_env (configure with CMake)"; exit 2; }
# CORVANE_VERSION (1.0.0) and CORVANE_VERSION_TEXT (1.00); the window check's shell reads both.
set -a
source "$version_env"
set +a

failures=0
fail() { echo "check-package: FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "check-package: ok: $*"; }

scratch=$(mktemp -d)
app_pid=
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# --- Lintian --------------------------------------------------------------------------------
# Any error or warning fails the check. CI runs as root, which lintian only accepts when told.
lintian_options=(--fail-on error,warning)
[[ $(id -u) -eq 0 ]] && lintian_options+=(--allow-root)
if out=$(lintian "${lintian_options[@]}" "$deb" 2>&1); then
  ok "lintian reports nothing${out:+ above its notes:}"
  [[ -n "$out" ]] && sed 's/^/    /' <<<"$out"
else
  fail "lintian:"
  sed 's/^/    /' <<<"$out"
fi

# --- Control fields -------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == corvane ]] && ok "package name corvane" || fail "package name is '$(field Package)'"
[[ "$(field Version)" == "$CORVANE_VERSION_TEXT" ]] && ok "version $CORVANE_VERSION_TEXT" ||
  fail "version is '$(field Version)', not $CORVANE_VERSION_TEXT"
[[ -n "$(field Maintainer)" ]] && ok "maintainer $(field Maintainer)" || fail "no maintainer"
[[ -n "$(field Description)" ]] && ok "description present" || fail "no description"
# The Qt libraries come from dpkg-shlibdeps, with the versions the program was linked against.
depends=$(field Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
  [[ "$depends" == *"$lib ("* ]] || fail "Depends lacks $lib: $depends"
done
ok "depends: $depends"

# --- File list ------------------------------------------------------------------------------
expected=$(
  cat <<'EOF'
./usr/bin/corvane
./usr/bin/corvane-cli
./usr/share/applications/corvane.desktop
./usr/share/doc/corvane/changelog.gz
./usr/share/doc/corvane/copyright
./usr/share/icons/hicolor/128x128/apps/corvane.png
./usr/share/icons/hicolor/32x32/apps/corvane.png
./usr/share/icons/hicolor/scalable/apps/corvane.svg
./usr/share/man/man1/corvane-cli.1.gz
./usr/share/man/man1/corvane.1.gz
./usr/share/metainfo/io.github.corvane.Corvane.metainfo.xml
EOF
)
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | LC_ALL=C sort)
if [[ "$actual" == "$expected" ]]; then
  ok "file list"
else
  fail "file list differs (expected < > packaged):"
  diff <(echo "$expected") <(echo "$actual") || true
fi

# --- Scratch root ---------------------------------------------------------------------------
root=$scratch/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin/corvane
[[ -x "$bin" ]] && ok "usr/bin/corvane is executable" || fail "usr/bin/corvane is missing or not executable"
if missing=$(ldd "$bin" | grep 'not found'); then
  fail "shared libraries not found: $missing"
fi

desktop=$root/usr/share/applications/corvane.desktop
if out=$(desktop-file-validate "$desktop" 2>&1) && [[ -z "$out" ]]; then
  ok "desktop entry is valid"
else
  fail "desktop-file-validate: $out"
fi
exec_line=$(grep '^Exec=' "$desktop" || true)
[[ "$exec_line" == "Exec=corvane" ]] && ok "$exec_line" || fail "unexpected '$exec_line' (the program takes no arguments)"
icon_name=$(sed -n 's/^Icon=//p' "$desktop")

metainfo=$root/usr/share/metainfo/io.github.corvane.Corvane.metainfo.xml
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
  ok "AppStream metadata is valid"
else
  fail "appstreamcli validate --no-net:"
  sed 's/^/    /' <<<"$out"
fi
for page in corvane corvane-cli; do
  if text=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>&1) &&
    grep -q "^NAME" <<<"$text"; then
    ok "man -l renders $page(1)"
  else
    fail "man -l $page.1.gz: $text"
  fi
done

# --- corvane-cli ----------------------------------------------------------------------------
# The New line on the standard output with CR LF, and the version, from the unpacked program.
cli=$root/usr/bin/corvane-cli
printf '*RST;VOLT 5;\r\n' >"$scratch/init.dat"
printf '*RST;VOLT 12;VOLT 5;\r\n' >"$scratch/ref.dat"
if line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$cli" "$scratch/init.dat" "$scratch/ref.dat" | od -An -c | tr -s ' ') &&
  [[ "$line" == " V O L T 1 2 ; \r \n" ]]; then
  ok "corvane-cli prints the New line with CR LF without a display"
else
  fail "corvane-cli printed '$line'"
fi
cli_version=$("$cli" --version 2>&1 || true)
[[ "$cli_version" == "corvane-cli $CORVANE_VERSION_TEXT" ]] && ok "$cli_version" ||
  fail "corvane-cli --version says '$cli_version'"
icon=$root/usr/share/icons/hicolor/32x32/apps/$icon_name.png
if [[ -f "$icon" ]]; then
  # IHDR: width and height (4 bytes each, big-endian), bit depth, colour type (3 = palette).
  read -r w0 w1 w2 w3 h0 h1 h2 h3 depth ctype < <(od -An -tu1 -j16 -N10 "$icon")
  width=$(((w0 << 24) | (w1 << 16) | (w2 << 8) | w3))
  height=$(((h0 << 24) | (h1 << 16) | (h2 << 8) | h3))
  if [[ $width -eq 32 && $height -eq 32 && $depth -eq 8 && $ctype -eq 3 ]] &&
    grep -qa 'tRNS' "$icon"; then
    ok "icon '$icon_name': 32 x 32, 8-bit palette with transparency"
  else
    fail "icon '$icon_name' is ${width}x${height}, depth $depth, colour type $ctype"
  fi
else
  fail "the desktop entry's icon '$icon_name' is not in hicolor/32x32/apps"
fi

# --- Start the unpacked program -------------------------------------------------------------
# A private home, so that the run starts with nothing stored and leaves the user's settings
# alone. The program has no way to be told to quit, so "came up" means: still running after two
# seconds, with no message on its error output; then it is stopped.
run_home=$scratch/home
mkdir -p "$run_home/runtime"
chmod 700 "$run_home/runtime"
export XDG_RUNTIME_DIR=$run_home/runtime
start_app() {
  (cd "$run_home" && exec env HOME="$run_home" XDG_CONFIG_HOME="$run_home/.config" "$@" "$bin") \
    >"$scratch/app.log" 2>&1 &
  app_pid=$!
}
stop_app() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
}

start_app QT_QPA_PLATFORM=offscreen
for _ in $(seq 20); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2>/dev/null; then
  stop_app
  ok "the installed program came up headless (offscreen) and was stopped after 2 s"
  if [[ -s "$scratch/app.log" ]]; then
    echo "check-package: note: it wrote:"
    sed 's/^/    /' "$scratch/app.log"
  fi
else
  rc=0
  wait "$app_pid" || rc=$?
  app_pid=
  fail "the installed program ended by itself with status $rc:"
  cat "$scratch/app.log"
fi

# On an X server the window must appear with its caption and the 32 x 32 icon.
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null && command -v xprop >/dev/null; then
  cat >"$scratch/on-x.sh" <<'EOF'
set -u
"$@" &
pid=$!
wid=$(timeout 10 xdotool search --sync --onlyvisible --name "^Corvane, v${CORVANE_VERSION_TEXT//./\\.}" | head -n 1)
status=1
if [[ -n "$wid" ]]; then
  echo "title: $(xdotool getwindowname "$wid")"
  xprop -id "$wid" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | head -n 1
  status=0
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $status
EOF
  if out=$(cd "$run_home" && HOME="$run_home" XDG_CONFIG_HOME="$run_home/.config" \
    xvfb-run -a -s '-screen 0 800x600x24' bash "$scratch/on-x.sh" "$bin" 2>&1); then
    if grep -q 'Icon (32 x 32)' <<<"$out"; then
      ok "window on X: $(grep '^title:' <<<"$out"), icon 32 x 32"
    else
      fail "the window on X has no 32 x 32 icon: $out"
    fi
  else
    fail "no Corvane window appeared on X: $out"
  fi
else
  echo "check-package: skipped the X window check (xvfb-run, xdotool or xprop missing)"
fi

if [[ $failures -ne 0 ]]; then
  echo "check-package: $failures check(s) failed for $(basename "$deb")"
  exit 1
fi
echo "check-package: $(basename "$deb") passed every check"
