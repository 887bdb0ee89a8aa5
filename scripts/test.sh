#!/usr/bin/env bash
# Sets up, builds and runs every test, stage by stage:
#   linux        the release build
#   linux-asan   AddressSanitizer and UndefinedBehaviorSanitizer
#   linux-tsan   the threaded tests under ThreadSanitizer
#   fuzz         the fuzz targets for 60 s each (counted as one test)
#   packages     scripts/package.sh, then the Debian package installed, used
#                and purged in a throwaway system, and the Windows installer
#                under Wine (one test each)
#   windows      the x86-64 cross build under Wine
#   windows-x86  the 32-bit cross build under Wine's 32-bit half, in a Wine
#                prefix of its own: natively where this machine executes
#                32-bit programs, else under user-mode emulation in a user
#                namespace (scripts/x86-namespace.sh; the tests that need
#                several threads are skipped there, saying why); where
#                neither works (probed once, in that order, by
#                scripts/can-run-x86.sh) the stage is skipped, saying so, and
#                only its built files are checked
#   scripts      this command itself, with the 32-bit probe made to fail
# Prints the time of each stage, every test run again and why, and ends with
# one line of totals. Exits non-zero when anything failed; a skipped test or
# stage is counted as skipped, not as passed.
#   scripts/test.sh [STAGE...]   (default: all, in the order above)
set -euo pipefail
cd "$(dirname "$0")/.."

all_stages=(linux linux-asan linux-tsan fuzz packages windows windows-x86 scripts)
stages=("$@")
((${#stages[@]} > 0)) || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  if [[ " ${all_stages[*]} " != *" $stage "* ]]; then
    echo "unknown stage '$stage'; the stages are: ${all_stages[*]}" >&2
    exit 2
  fi
done
wants() { [[ " ${stages[*]} " == *" $1 "* ]]; }

scripts/setup.sh

jobs=$(nproc)
passed=0
failed=0
skipped=0
retried=()
skipped_stages=()
work=$(mktemp -d)
wine_session=false
x86_session=false
cleanup() {
  if $wine_session; then scripts/wine-session.sh stop; fi
  if $x86_session; then in_x86 scripts/wine-session.sh stop; fi
  rm -rf "$work"
}
trap cleanup EXIT

# How 32-bit x86 programs run here: x86_runner is the command that runs
# them (empty natively), x86_reason why they cannot run at all.
x86_reason=
x86_runner=()
if wants windows-x86 || wants packages; then
  status=0
  native=$(scripts/can-run-x86.sh 2>&1) || status=$?
  if ((status == 0)); then
    echo "== 32-bit x86 programs run natively"
  else
    status=0
    emulated=$(scripts/x86-namespace.sh scripts/can-run-x86.sh 2>&1) || status=$?
    if ((status == 0)); then
      x86_runner=(scripts/x86-namespace.sh)
      echo "== 32-bit x86 programs run under emulation (qemu-i386 in a user namespace;" \
        "natively: $native)"
    else
      x86_reason="natively: ${native:-the probe failed}; under emulation: ${emulated:-the probe failed}"
      echo "== 32-bit x86 programs cannot run here: $x86_reason"
    fi
  fi
fi
# in_x86 COMMAND...: COMMAND where 32-bit programs run, with the 32-bit
# stage's own Wine prefix.
in_x86() {
  VFK_WINEPREFIX=$PWD/build/windows-x86/wine-prefix VFK_WINE_32BIT=1 "${x86_runner[@]}" "$@"
}

# A pattern matching exactly NAME.
exact() { printf '^%s$' "$(sed 's/[][\.*^$(){}?+|/]/\\&/g' <<<"$1")"; }

# retry PRESET NAME: runs a test that Wine's client drop failed up to twice
# more; succeeds when a run passes. Every retried test is listed at the end.
retry() {
  local preset=$1 name=$2 run outcome junit=$work/retry.xml
  for run in 2 3; do
    echo "== $preset: $name failed with Wine's client drop (\"wine client error\"): run $run of 3"
    rm -f "$junit"
    if [[ $preset == windows-x86 ]]; then
      in_x86 ctest --preset "$preset" --output-junit "$junit" -R "$(exact "$name")" || true
    else
      ctest --preset "$preset" --output-junit "$junit" -R "$(exact "$name")" || true
    fi
    outcome=$(scripts/ctest_results.py "$junit" 2>/dev/null | awk '{print $1}')
    case $outcome in
      passed)
        retried+=("$preset: $name (passed on run $run)")
        return 0
        ;;
      dropped) ;;
      *)
        retried+=("$preset: $name (${outcome:-not run} on run $run)")
        return 1
        ;;
    esac
  done
  retried+=("$preset: $name (Wine dropped all 3 runs)")
  return 1
}

# run_tests PRESET [ctest options...]: runs the preset's tests and adds up
# their outcomes. Only the Windows presets run a test again, and only for
# Wine's client drop.
run_tests() {
  local preset=$1 status=0 junit=$work/$1.xml outcome name failing=0 stage_failed=0 runner=()
  shift
  if [[ $preset == windows-x86 ]]; then runner=(in_x86); fi
  "${runner[@]}" ctest --preset "$preset" -j "$jobs" --output-junit "$junit" "$@" || status=$?
  if [[ ! -s $junit ]]; then
    echo "== $preset: CTest ran no tests (status $status; see its errors above)"
    failed=$((failed + 1))
    return
  fi
  while read -r outcome name; do
    case $outcome in
      passed) passed=$((passed + 1)) ;;
      skipped) skipped=$((skipped + 1)) ;;
      dropped)
        failing=$((failing + 1))
        if [[ $preset == windows* ]] && retry "$preset" "$name"; then
          passed=$((passed + 1))
        else
          stage_failed=$((stage_failed + 1))
        fi
        ;;
      *)
        failing=$((failing + 1))
        stage_failed=$((stage_failed + 1))
        ;;
    esac
  done < <(scripts/ctest_results.py "$junit")
  if ((status != 0 && failing == 0)); then
    echo "== $preset: CTest failed (status $status) without a failing test; see above"
    stage_failed=1
  fi
  failed=$((failed + stage_failed))
}

# build PRESET [cmake options...]: configures and builds; a failure counts
# as one failed test and the stage's tests are not run.
build() {
  local preset=$1 runner=()
  shift
  # The 32-bit build runs its example writer under Wine.
  if [[ $preset == windows-x86 && -z $x86_reason ]]; then runner=(in_x86); fi
  if cmake --preset "$preset" "$@" >/dev/null &&
    "${runner[@]}" cmake --build --preset "$preset" -j "$jobs"; then
    return 0
  fi
  echo "== $preset: the build failed"
  failed=$((failed + 1))
  return 1
}

timed() {
  local stage=$1 started=$SECONDS
  shift
  echo "== $stage"
  "$@"
  echo "== $stage took $((SECONDS - started)) s"
}

preset_stage() { if build "$1"; then run_tests "$1"; fi; }

# counted COMMAND...: a command that is one test, passed or failed.
counted() {
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

fuzz_stage() { counted scripts/fuzz.sh 60; }

x86_stage() {
  if [[ -z $x86_reason ]]; then
    if ! in_x86 scripts/wine-session.sh start; then
      echo "== windows-x86: Wine's 32-bit side could not be started${x86_runner[*]:+ under emulation}"
      failed=$((failed + 1))
      return
    fi
    x86_session=true
    if build windows-x86 -DVFK_RUN_BUILT_PROGRAMS=ON; then run_tests windows-x86; fi
    in_x86 scripts/wine-session.sh stop
    x86_session=false
    return
  fi
  echo "windows-x86: skipped: this machine cannot execute 32-bit x86 programs"
  skipped_stages+=(windows-x86)
  # The 32-bit files are still built and checked without running them.
  if build windows-x86 -DVFK_RUN_BUILT_PROGRAMS=OFF; then run_tests windows-x86-built-files; fi
}

# Each package's test counts as one test. Where 32-bit programs do not run
# natively, the installer is tested as the copy made with the 64-bit stub
# (the shipped 32-bit stub is not yet tried under emulation).
packages_stage() {
  if ! scripts/package.sh; then
    failed=$((failed + 1))
    return
  fi
  local version installer
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/linux/CMakeCache.txt)
  installer=dist/vfkthumb-$version-setup.exe
  if [[ -n $x86_reason || ${#x86_runner[@]} -gt 0 ]]; then
    installer=build/packaging/vfkthumb-$version-setup-amd64.exe
  fi
  counted bash tests/packaging/debian_package.sh \
    "dist/vfkthumb_${version}_$(dpkg --print-architecture).deb" build/linux
  counted bash tests/packaging/windows_installer.sh "$installer" build/windows build/linux \
    "$version"
}

# The test command itself, run where 32-bit programs seem not to run.
scripts_stage() { counted bash tests/scripts/test_command.sh; }

for stage in linux linux-asan linux-tsan; do
  if wants "$stage"; then timed "$stage" preset_stage "$stage"; fi
done
if wants fuzz; then timed fuzz fuzz_stage; fi
if wants packages; then timed packages packages_stage; fi

# The Windows programs share one Wine prefix whose server stays up for the
# whole run and is shut down however the run ends.
if wants windows; then
  if scripts/wine-session.sh start; then
    wine_session=true
  else
    echo "== Wine could not be started: the Windows stages fail"
    failed=$((failed + 1))
  fi
fi
if wants windows && $wine_session; then timed windows preset_stage windows; fi
if wants windows-x86; then timed windows-x86 x86_stage; fi
if wants scripts; then timed scripts scripts_stage; fi

if ((${#retried[@]} > 0)); then
  echo "run again after Wine's client drop:"
  printf '  %s\n' "${retried[@]}"
fi
line="total: $passed passed, $failed failed, $skipped skipped"
if ((${#skipped_stages[@]} > 0)); then
  line+="; stages skipped: ${skipped_stages[*]} (this machine cannot execute 32-bit x86 programs)"
fi
echo "$line"
((failed == 0))
