# Sourced by the desktop tests: the sandbox GNOME's thumbnail factory runs a
# thumbnailer in, with a staging folder standing in for /usr/local.
#   in_desktop_sandbox STAGE [bwrap options...] -- COMMAND...
# With VFK_SANDBOX_SYSTEM set to the root of another system (one the Debian
# package was installed into), the sandbox sees that system's /usr instead
# of this machine's, and the tests check what is installed there.
sandbox_system=${VFK_SANDBOX_SYSTEM:-}

# /bin, /lib, … as the host has them: symlinks into /usr, or read-only binds.
sandbox_root_dirs=()
for dir in bin lib lib64 sbin; do
  if [[ -L /$dir ]]; then
    sandbox_root_dirs+=(--symlink "$(readlink "/$dir")" "/$dir")
  elif [[ -d /$dir ]]; then
    sandbox_root_dirs+=(--ro-bind "/$dir" "/$dir")
  fi
done

in_desktop_sandbox() {
  local stage=$1
  shift
  local options=()
  while (($# > 0)) && [[ $1 != -- ]]; do
    options+=("$1")
    shift
  done
  shift
  bwrap --ro-bind "$sandbox_system/usr" /usr --ro-bind "$stage" /usr/local \
    --ro-bind "$sandbox_system/etc/ld.so.cache" /etc/ld.so.cache "${sandbox_root_dirs[@]}" \
    --proc /proc --dev /dev --chdir / --setenv GIO_USE_VFS local \
    --setenv PATH /usr/local/bin:/usr/bin:/bin --unshare-all --die-with-parent \
    "${options[@]}" "$@"
}

# Installs the build into STAGE as it would go to /usr/local, with the MIME
# database compiled; with VFK_SANDBOX_SYSTEM, STAGE stays empty (what is
# tested is installed in that system's /usr).
stage_install() {
  local build=$1 stage=$2
  mkdir -p "$stage"
  [[ -z $sandbox_system ]] || return 0
  cmake --install "$build" --prefix "$stage" >/dev/null
  update-mime-database "$stage/share/mime" 2>/dev/null
}

# Where the installed files' share folder is, seen from outside the sandbox.
installed_share() {
  if [[ -n $sandbox_system ]]; then echo "$sandbox_system/usr/share"; else echo "$1/share"; fi
}
