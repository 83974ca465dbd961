# shellcheck shell=bash
# Sourced by the scripts that build a library for Windows from Debian's source package.
# apt-get source needs deb-src entries; ensure_source_entries adds them beside the machine's
# own deb entries (same mirrors, suites and components) when there are none. Its argument
# names the calling script in what it says; the caller's as_root array runs apt as root.
# shellcheck disable=SC2154  # as_root is the calling script's
ensure_source_entries() {
  if grep -qsE '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; then
    return
  fi
  echo "$1: adding deb-src entries for apt-get source"
  local source
  for source in /etc/apt/sources.list.d/*.sources; do
    [ -f "$source" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$source" |
      "${as_root[@]}" tee "/etc/apt/sources.list.d/velmar-src-$(basename "$source")" >/dev/null
  done
  for source in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$source" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$source" |
      "${as_root[@]}" tee "/etc/apt/sources.list.d/velmar-src-$(basename "$source")" >/dev/null
  done
  "${as_root[@]}" apt-get update
}
