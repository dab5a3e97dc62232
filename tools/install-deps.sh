#!/bin/sh
# Installs the Debian packages named on the command line that are missing.
# As root it runs apt-get quietly; otherwise it prints the one command needed.
missing=""
for p in "$@"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $p" ;;
  esac
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "cellshow needs these Debian packages:$missing"
  echo "Install them with:"
  echo "  sudo apt-get install -y$missing"
  exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
# Another apt-get at work (an unattended upgrade, a second build) holds the
# package manager's lock: wait for it, up to five minutes, instead of failing.
apt="apt-get -o DPkg::Lock::Timeout=300"
if ! $apt install -y -qq --no-install-recommends $missing >/tmp/cellshow-apt.log 2>&1; then
  $apt update -qq >>/tmp/cellshow-apt.log 2>&1
  if ! $apt install -y -qq --no-install-recommends $missing >>/tmp/cellshow-apt.log 2>&1; then
    echo "apt-get failed; see /tmp/cellshow-apt.log" >&2
    tail -n 20 /tmp/cellshow-apt.log >&2
    exit 1
  fi
fi
