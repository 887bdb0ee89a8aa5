# Sourced by the desktop tests: the sandbox GNOME's thumbnail factory runs a
# thumbnailer in, with a staging folder standing in for /usr/local.
#   in_desktop_sandbox STAGE [bwrap options...] -- COMMAND...

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
  bwrap --ro-bind /usr /usr --ro-bind "$stage" /usr/local \
    --ro-bind /etc/ld.so.cache /etc/ld.so.cache "${sandbox_root_dirs[@]}" \
    --proc /proc --dev /dev --chdir / --setenv GIO_USE_VFS local \
    --setenv PATH /usr/local/bin:/usr/bin:/bin --unshare-all --die-with-parent \
    "${options[@]}" "$@"
}

# Installs the build into STAGE as it would go to /usr/local, with the MIME
# database compiled.
stage_install() {
  local build=$1 stage=$2
  cmake --install "$build" --prefix "$stage" >/dev/null
  update-mime-database "$stage/share/mime" 2>/dev/null
}
