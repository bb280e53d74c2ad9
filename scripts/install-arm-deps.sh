#!/bin/sh
# What the 32-bit ARM build needs: Debian's arm-linux-gnueabihf cross
# compiler, the armhf libraries through multiarch, and qemu to run the tests.
# Installs only what is missing.
set -eu

PACKAGES="g++-arm-linux-gnueabihf libjson-c-dev:armhf libsqlite3-dev:armhf \
libgtest-dev:armhf libgmock-dev:armhf libstdc++6:armhf qemu-user qemu-user-binfmt"

SUDO=""
if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null 2>&1 && SUDO="sudo" || { echo "need root to install ARM packages" >&2; exit 1; }
fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx armhf; then
    $SUDO dpkg --add-architecture armhf
    $SUDO apt-get update -qq </dev/null >/dev/null
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    $SUDO apt-get update -qq </dev/null >/dev/null
    $SUDO apt-get install -y -qq --no-install-recommends $missing </dev/null >/dev/null
fi

# Tests start ARM programs (webcgi, tools) from ARM test programs: the kernel
# must hand ARM executables to qemu. Without systemd nobody registers it.
BINFMT=/proc/sys/fs/binfmt_misc
if [ ! -e "$BINFMT/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT"
fi
if [ ! -e "$BINFMT/qemu-arm" ]; then
    $SUDO sh -c "cat /usr/lib/binfmt.d/qemu-arm.conf > $BINFMT/register"
fi
