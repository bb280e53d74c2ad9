#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need,
# but only those that are missing, so that a second run costs nothing.
set -eu

PACKAGES="cmake make g++ pkg-config libjson-c-dev libsqlite3-dev sqlite3 \
libgtest-dev libgmock-dev python3 curl lighttpd u-boot-tools libubootenv-tool \
clang libclang-rt-dev wrk"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
SUDO=""
if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null 2>&1 && SUDO="sudo" || { echo "need root to install:$missing" >&2; exit 1; }
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq </dev/null >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends $missing </dev/null >/dev/null
