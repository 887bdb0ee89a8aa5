#!/usr/bin/env bash
# Runs COMMAND where 32-bit x86 programs run through user-mode emulation,
# on machines whose kernel refuses i386 ELF programs: in a user and mount
# namespace of its own (Linux 6.7 and later give each user namespace its own
# binfmt_misc), i386 ELF programs are handed to Debian's qemu-i386-static.
# Nothing outside the namespace sees the registration; it ends with the
# namespace's last process.
#   x86-namespace.sh COMMAND...   COMMAND's status; 125 when the namespace
#                                 or the registration is refused (the
#                                 reason on standard error)
# COMMAND sees VFK_X86_EMULATED=1. QEMU_RESERVED_VA gives qemu the 2 GiB of
# a 32-bit Windows process: with qemu 7.2's default 4 GiB guest space Wine's
# 32-bit loader spends a minute reserving memory and then fails.
set -uo pipefail

qemu=/usr/bin/qemu-i386-static
if [[ ! -x $qemu ]]; then
  echo "x86-namespace: $qemu is not installed (scripts/setup.sh installs qemu-user-static)" >&2
  exit 125
fi
if (($# == 0)); then
  echo "usage: x86-namespace.sh COMMAND..." >&2
  exit 2
fi

# i386 ELF executables and shared objects, as qemu's qemu-binfmt-conf.sh
# registers them; the kernel decodes the \x escapes. Flags: P keeps argv[0],
# O hands qemu the open file, C takes the program's credentials, F opens
# qemu now.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
registration=":vfk-i386:M::$magic:$mask:$qemu:POCF"

if ! unshare --user --map-root-user --mount true 2>/dev/null; then
  echo "x86-namespace: this user may not make a user and mount namespace here" >&2
  exit 125
fi
exec unshare --user --map-root-user --mount --fork -- bash -c '
  binfmt=/proc/sys/fs/binfmt_misc
  if ! mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null; then
    echo "x86-namespace: binfmt_misc cannot be mounted in a user namespace here (Linux 6.7 or later needed)" >&2
    exit 125
  fi
  if ! printf "%s" "$1" >"$binfmt/register" 2>/dev/null; then
    echo "x86-namespace: the i386 registration was refused" >&2
    exit 125
  fi
  shift
  export VFK_X86_EMULATED=1 QEMU_RESERVED_VA=0x7fff0000
  exec "$@"
' x86-namespace "$registration" "$@"
