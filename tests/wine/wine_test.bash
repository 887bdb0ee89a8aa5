# Sourced by the Wine test scripts.

# The Windows name of a Unix path under Wine (drive Z: is /).
windows_name() { printf 'Z:%s' "${1//\//\\}"; }

# What differs between the 64-bit and the 32-bit build, from the build's
# pointer size in bits (64 or 32):
#   regsvr32  the regsvr32 of that bitness (the 32-bit one writes the
#             32-bit registry view, as on 64-bit Windows)
#   view      the reg.exe option that reads and writes that view
set_bitness() {
  case $1 in
    64) regsvr32=regsvr32 view=/reg:64 ;;
    32) regsvr32='C:\windows\syswow64\regsvr32.exe' view=/reg:32 ;;
    *)
      echo "unknown bitness $1" >&2
      return 1
      ;;
  esac
}

# What reg.exe answers for a key that is not there.
not_found='Unable to find the specified registry key'
