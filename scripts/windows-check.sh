#!/usr/bin/env bash
# Compiles the program's sources as for Windows, so that the Windows-only code (the registry
# store, the drive-aware change of directory, Notepad) and the resource file keep compiling
# although the program is built and tested on Linux.
#
# Every .cpp under core, platform, settings, window, app, cli and fuzz, and every test source
# that a Windows build compiles, goes through MinGW-w64's g++ with -fsyntax-only against the
# system's Qt 6 headers: the compiler defines _WIN32, so Qt defines Q_OS_WIN and the Windows
# branches are the ones compiled. Nothing is linked (there is no Qt for
# Windows here). app/corvane.rc, with its icon, goes through MinGW-w64's windres, and its version
# record is read back and compared with the project's version.
# The version and app/corvane.rc come configured from a CMake build folder (CORVANE_BUILD_DIR,
# default build/), which `make windows-check` configures first.
#
# The Windows build uses MSVC with warnings as errors. What MinGW's g++ accepts but MSVC
# rejects, and that can be seen here, fails the check too: GNU extensions (-Wpedantic), and
# pragmas, attributes and built-ins of GCC or Clang written outside core/compiler.h, which
# gives them to the compilers that know them. What only an MSVC build sees: its own /W4
# warnings (C4244 and C4267 narrowing, C4127 constant conditions, C4996 deprecated C
# functions), a standard header that libstdc++ includes on the way but Microsoft's library does
# not, the difference of /permissive- in templates, Qt's MSVC configuration headers (these are
# Linux's Qt 6.4 headers), and everything of linking: missing libraries and symbols.
# Usage: scripts/windows-check.sh [FILE.cpp...]   (default: every source file)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

cxx=${CORVANE_WIN_CXX:-x86_64-w64-mingw32-g++-posix}
windres=${CORVANE_WIN_WINDRES:-x86_64-w64-mingw32-windres}
qt=${CORVANE_QT_INCLUDE:-/usr/include/x86_64-linux-gnu/qt6}
mkspec=${CORVANE_QT_MKSPEC:-/usr/lib/x86_64-linux-gnu/qt6/mkspecs/win32-g++}
for tool in "$cxx" "$windres"; do
  command -v "$tool" >/dev/null || { echo "windows-check: $tool is missing"; exit 2; }
done
[[ -d "$qt/QtWidgets" ]] || { echo "windows-check: no Qt 6 headers in $qt"; exit 2; }
build=${CORVANE_BUILD_DIR:-build}
[[ -f "$build/version.env" && -f "$build/app/corvane.rc" ]] ||
  { echo "windows-check: configure $build with CMake first (make windows-check does)"; exit 2; }
# CORVANE_VERSION (1.0.0) and CORVANE_VERSION_TEXT (1.00), written by CMake.
source "$build/version.env"

# The definitions and warnings the Windows build uses: the project's own (CMakeLists.txt) and
# those Qt's CMake package adds for a Windows widgets program.
flags=(
  -fsyntax-only -std=c++20 -I"$here"
  -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui" -isystem "$qt/QtWidgets"
  -isystem "$mkspec"
  -DUNICODE -D_UNICODE -DWIN32 -DMINGW_HAS_SECURE_API=1
  -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB
  -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -DQT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  -DCORVANE_VERSION_TEXT="\"$CORVANE_VERSION_TEXT\""
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-qual -Wformat=2
  -Wimplicit-fallthrough -Wno-maybe-uninitialized -Werror
)

# The test sources that a Windows build compiles: those that tests/CMakeLists.txt and the
# folders it adds name outside blocks that only other systems enter (if(UNIX), if(NOT WIN32)).
windows_test_sources() {
  local dir=$1 entry
  [[ -f "$dir/CMakeLists.txt" ]] || return 0
  awk -v dir="$dir" '
    /^[[:space:]]*if[[:space:]]*\(/ {
      depth++
      posix[depth] = ($0 ~ /UNIX|LINUX|APPLE|NOT[[:space:]]+WIN32/)
    }
    /^[[:space:]]*endif[[:space:]]*\(/ { depth--; next }
    {
      for (i = 1; i <= depth; i++) if (posix[i]) next
      if (match($0, /add_subdirectory[[:space:]]*\([[:space:]]*[A-Za-z0-9_.-]+/)) {
        sub(/add_subdirectory[[:space:]]*\([[:space:]]*/, "", $0)
        sub(/[^A-Za-z0-9_.-].*/, "", $0)
        print "dir " dir "/" $0
        next
      }
      n = split($0, word, /[[:space:]()]+/)
      for (i = 1; i <= n; i++)
        if (word[i] ~ /^[A-Za-z0-9_.\/-]+\.cpp$/) print "src " dir "/" word[i]
    }' "$dir/CMakeLists.txt" | while read -r kind entry; do
    if [[ $kind == dir ]]; then
      windows_test_sources "$entry"
    else
      echo "$entry"
    fi
  done
}

if [[ $# -gt 0 ]]; then
  sources=("$@")
else
  mapfile -t sources < <(
    find core platform settings window app cli fuzz -name '*.cpp'
    windows_test_sources tests
  )
  mapfile -t sources < <(printf '%s\n' "${sources[@]}" | LC_ALL=C sort -u)
fi

# Tests include the output of moc for their own file ("test_x.moc"); for a syntax check an
# empty stand-in will do.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/moc"
for src in "${sources[@]}"; do
  sed -n 's/^#include "\([^"/]*\.moc\)"$/\1/p' "$src" | while read -r moc; do
    : >"$scratch/moc/$moc"
  done
done
flags+=(-I"$here/tests" -isystem "$qt/QtTest" -I"$scratch/moc" -DQT_TESTLIB_LIB
  -DCORVANE_SOURCE_DIR="\"$here\"" -DCORVANE_CLI="\"corvane-cli.exe\"")

# One compiler per core; each prints its verdict and, on failure, the compiler's messages in
# one piece, and leaves a mark for the count.
printf '%q\n' "${flags[@]}" >"$scratch/flags"
mkdir -p "$scratch/failed"
export cxx scratch
printf '%s\0' "${sources[@]}" | xargs -0 -n 1 -P "$(nproc 2>/dev/null || echo 2)" bash -c '
  if out=$("$cxx" @"$scratch/flags" "$1" 2>&1); then
    echo "windows-check: ok: $1"
  else
    printf "windows-check: FAIL: %s\n%s\n" "$1" "$out"
    : >"$scratch/failed/${1//\//_}"
  fi' compile
failed=$(find "$scratch/failed" -type f | wc -l)

# Compiler-specific constructs that g++ knows and MSVC does not: an unknown pragma is C4068,
# the rest do not compile at all. Only core/compiler.h may name them, behind its compiler tests.
gnu_only='^[[:space:]]*#[[:space:]]*pragma[[:space:]]+(GCC|clang)|_Pragma|__attribute__|__builtin_|__PRETTY_FUNCTION__'
mapfile -t headers < <(find core platform settings window app cli tests fuzz -name '*.h')
while IFS= read -r hit; do
  echo "windows-check: FAIL: ${hit%%:*}: not for MSVC (wrap it in core/compiler.h): ${hit#*:}"
  failed=$((failed + 1))
done < <(printf '%s\n' "${sources[@]}" "${headers[@]}" | grep -v '^core/compiler\.h$' |
  xargs -r grep -EnH "$gnu_only" | sed 's/^\([^:]*\):\([0-9]*\):[[:space:]]*/\1:\2: /')

# The resource file: icon and version record. windres reads the compiled resources back as text.
rc=$build/app/corvane.rc
if out=$("$windres" -i "$rc" -O coff -o "$scratch/corvane_rc.o" 2>&1) &&
  out=$("$windres" -i "$rc" -O res -o "$scratch/corvane.res" 2>&1) &&
  text=$("$windres" -i "$scratch/corvane.res" -O rc 2>&1); then
  missing=()
  numbers=${CORVANE_VERSION//./, }
  for want in "FILEVERSION $numbers, 0" "PRODUCTVERSION $numbers, 0" 'BLOCK "040904B0"' \
    "VALUE \"FileVersion\", \"$CORVANE_VERSION_TEXT\"" \
    "VALUE \"ProductVersion\", \"$CORVANE_VERSION_TEXT\"" \
    'VALUE "Translation", 0x409, 1200' 'RT_GROUP_ICON'; do
    grep -qF "$want" <<<"$text" || missing+=("$want")
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    echo "windows-check: ok: $rc (icon, version $CORVANE_VERSION.0 \"$CORVANE_VERSION_TEXT\", US English, Unicode)"
  else
    echo "windows-check: FAIL: $rc lacks: ${missing[*]}"
    failed=$((failed + 1))
  fi
else
  echo "windows-check: FAIL: $rc"
  echo "$out"
  failed=$((failed + 1))
fi

if [[ $failed -ne 0 ]]; then
  echo "windows-check: $failed finding(s): not every file builds for Windows"
  exit 1
fi
echo "windows-check: every file compiles for Windows"
