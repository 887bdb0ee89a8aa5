# Sourced by the Wine test scripts.

# The Windows name of a Unix path under Wine (drive Z: is /).
windows_name() { printf 'Z:%s' "${1//\//\\}"; }

# What differs between the 64-bit and the 32-bit build, from the build's
# pointer size in bits (64 or 32):
#   regsvr32  the regsvr32 of that bitness (the 32-bit one writes the
#             32-bit registry view, as on 64-bit Windows)
#   reg_exe   the reg.exe of that bitness: Wine's 64-bit one with /reg:32
#             does not see the keys the 32-bit DLL writes
#   view      the reg.exe option that reads and writes that view
set_bitness() {
  case $1 in
    64) regsvr32=regsvr32 reg_exe=reg view=/reg:64 ;;
    32) regsvr32='C:\windows\syswow64\regsvr32.exe' reg_exe='C:\windows\syswow64\reg.exe' view=/reg:32 ;;
    *)
      echo "unknown bitness $1" >&2
      return 1
      ;;
  esac
}

# finish NAME WORK [WHAT]: ends a test script: status 1 with the count of
# its failures ($failures) when there are any, else WORK removed and a line
# saying it passed (and WHAT).
finish() {
  if ((failures > 0)); then
    echo "$1: $failures failures" >&2
    exit 1
  fi
  rm -rf "$2"
  echo "$1: passed${3:+ ($3)}"
  exit 0
}

# What reg.exe answers for a key that is not there.
not_found='Unable to find the specified registry key'

# check_thumbnails WINE CLIENT HOW LINUX_BUILD WORK SIDES DOCUMENT...: the
# shell's path (CLIENT, shell_client.exe, run by WINE) thumbnails every
# DOCUMENT at each of SIDES (comma-separated), each bitmap byte for byte
# equal to the Linux vfkthumb's BMP pixels. HOW: "com" creates the handlers
# through COM, "inproc-server" from the DLL their class names (classes
# registered for one user), "com-trapping" through COM as a host that
# unmasks floating-point exceptions. One line on stderr per difference;
# status 1 when there is any.
check_thumbnails() {
  local wine=$1 client=$2 how=$3 linux=$4 work=$5 sides=$6
  shift 6
  local documents=("$@") windows_documents=() document side name expected got offset status=0
  local options=()
  case $how in
    inproc-server) options=(--inproc-server) ;;
    com-trapping) options=(--trap-floating-point) ;;
  esac
  mkdir -p "$work/out" "$work/expected"
  for document in "${documents[@]}"; do windows_documents+=("$(windows_name "$document")"); done
  if ! "$wine" "$client" thumbnails "${options[@]}" "$(windows_name "$work/out")" "$sides" \
    "${windows_documents[@]}"; then
    echo "FAIL: the thumbnails of ${documents[*]}" >&2
    status=1
  fi
  for document in "${documents[@]}"; do
    name=$(basename "$document")
    for side in ${sides//,/ }; do
      expected=$work/expected/$name.$side.bmp
      "$linux/vfkthumb" --size "$side" "$document" "$expected"
      offset=$(od -An -tu4 -j10 -N4 "$expected" | tr -d ' ')
      got=$work/out/$name.$side.rows
      if [[ ! -f $got ]]; then
        echo "FAIL: $name at $side: no bitmap" >&2
        status=1
      elif ! tail -c +$((offset + 1)) "$expected" | cmp -s - "$got"; then
        echo "FAIL: $name at $side: the bitmap differs from vfkthumb's" >&2
        status=1
      fi
    done
  done
  return $status
}
