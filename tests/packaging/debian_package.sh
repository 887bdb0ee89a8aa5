#!/usr/bin/env bash
# The Debian package installed for real, into a throwaway Debian system made
# here (debootstrap, minimal, from the archive this machine's apt uses, with
# the package's dependencies and what a desktop has: shared-mime-info,
# xdg-utils; never this machine's own /usr): dpkg installs it and the
# shared-mime-info trigger compiles its MIME types; the sandboxed thumbnailer
# test and vfkthumb doctor pass against the installed files, the sandbox
# seeing that system's /usr; dpkg --purge leaves none of the package's
# files, nor its compiled MIME types.
#   debian_package.sh DEB LINUX_BUILD
set -euo pipefail
deb=$(realpath "$1")
build=$(cd "$2" && pwd)
desktop=$(cd "$(dirname "$0")/../desktop" && pwd)
system=$(mktemp -d "${TMPDIR:-/tmp}/vfk-system.XXXXXX")
trap 'rm -rf "$system"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The archive and release this machine installs from.
mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[[ -n $mirror ]] || mirror=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list)
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
depends=$(dpkg-deb -f "$deb" Depends | sed -e 's/([^)]*)//g' -e 's/[ ,]\+/,/g' -e 's/,$//')
desktop_packages=shared-mime-info,xdg-utils,libfile-mimeinfo-perl
if ! timeout 900 debootstrap --variant=minbase --include="$depends,$desktop_packages" "$suite" \
  "$system" "$mirror" >"$system.log" 2>&1; then
  tail -n 20 "$system.log" >&2
  rm -f "$system.log"
  echo "debian_package: debootstrap of $suite from $mirror failed" >&2
  exit 1
fi
rm -f "$system.log"

cp "$deb" "$system/tmp/package.deb"
chroot "$system" dpkg -i /tmp/package.deb || fail "dpkg -i"
[[ -f $system/usr/share/mime/application/x-vfk.xml ]] ||
  fail "the MIME database of the installed system does not know application/x-vfk"

VFK_SANDBOX_SYSTEM=$system bash "$desktop/thumbnailer_sandbox.sh" "$build" ||
  fail "the sandboxed thumbnailer on the installed package"
VFK_SANDBOX_SYSTEM=$system bash "$desktop/doctor.sh" "$build" ||
  fail "vfkthumb doctor on the installed package"

chroot "$system" dpkg --purge vfkthumb || fail "dpkg --purge"
while read -r file; do
  [[ ! -e $system/$file ]] || fail "$file is left after dpkg --purge"
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$')
for file in application/x-vfk.xml application/x-vfq.xml; do
  [[ ! -e $system/usr/share/mime/$file ]] || fail "usr/share/mime/$file is left after dpkg --purge"
done

if ((failures > 0)); then
  echo "debian_package: $failures failures" >&2
  exit 1
fi
echo "debian_package: installed, used and purged in a throwaway $suite system"
