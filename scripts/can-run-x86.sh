#!/usr/bin/env bash
# Exit status 0 when this machine executes 32-bit x86 programs, so that the
# 32-bit Windows build can run under Wine's 32-bit half; 1, with the reason
# on standard error, when it does not (some kernels refuse every i386 ELF
# with "Exec format error"). The probe is Wine's own 32-bit loader, or the
# program VFK_X86_PROBE names, asked for its version within 20 s.
set -uo pipefail

probe=${VFK_X86_PROBE:-/usr/lib/wine/wine}
if [[ ! -x $probe ]]; then
  echo "no 32-bit Wine loader at $probe" >&2
  exit 1
fi
# An ELF the kernel refuses is handed to /bin/sh by execvp, which then
# prints its own complaint: only Wine's answer counts.
answer=$(timeout -k 5 20 "$probe" --version 2>&1)
status=$?
if ((status == 0)) && [[ $answer == wine-* ]]; then exit 0; fi
if ((status == 124 || status == 137)); then
  echo "$probe --version did not answer within 20 s" >&2
else
  echo "$probe --version failed (status $status): ${answer%%$'\n'*}" >&2
fi
exit 1
