# Sourced by the set-up scripts: install_missing [--no-recommends] PACKAGE... installs from
# Debian those of the packages that are not installed yet, as root or through sudo, so that
# running a script again installs nothing.
install_missing() {
  local options=() missing=() p
  if [ "${1-}" = --no-recommends ]; then
    options+=(--no-install-recommends)
    shift
  fi
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  local sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
}
