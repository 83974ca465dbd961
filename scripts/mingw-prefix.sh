# shellcheck shell=bash
# Sourced by the scripts that put a library for Windows in place under build/ (qt-mingw.sh,
# libjpeg-mingw.sh, imageformats-mingw.sh). The script sets `name` (its name in what it
# says), `prefix` (the folder to fill, named as the folder its archive holds), `archive` and
# `ready` (what the finished prefix holds, with "is" or "are", for the last line), defines
# `complete` and `build_from_source`, and ends with `provide_prefix "$@"`. Safe to run
# again: a prefix that is complete already is left as it is.
# shellcheck disable=SC2154  # name, prefix, archive and ready are the calling script's

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi

unpack_archive() {
  local folder staging
  folder="$(basename "$prefix")"
  staging="$prefix.unpacking"
  echo "$name: unpacking $archive"
  rm -rf "$staging"
  mkdir -p "$staging"
  tar -xJf "$archive" -C "$staging"
  if [ ! -d "$staging/$folder" ]; then
    echo "$name: $archive does not hold a $folder folder" >&2
    exit 1
  fi
  rm -rf "$prefix"
  mv "$staging/$folder" "$prefix"
  rm -rf "$staging"
}

# The archive when there is one, else a build from source; --build builds even with an
# archive. With check_complete=false (a build stopped after configuring) the prefix is not
# checked at the end.
provide_prefix() {
  local force_build=false
  if [ "${1:-}" = "--build" ]; then
    force_build=true
  fi
  if ! $force_build && complete; then
    echo "$name: $ready in $prefix"
    return
  fi
  if ! $force_build && [ -f "$archive" ]; then
    unpack_archive
  else
    build_from_source
  fi
  if "${check_complete:-true}" && ! complete; then
    echo "$name: $prefix is incomplete" >&2
    exit 1
  fi
  echo "$name: $ready in $prefix"
}
