#!/bin/sh
# make demo: a seeded recorder behind a real web server.
#
# Makes a device root under the build tree, fills its config store from
# demo/seed.txt, starts the simulated core daemon with demo/scenario.txt and
# Debian's lighttpd on 127.0.0.1:$DEMO_PORT (8080) serving webcgi at
# /cgi-bin/webcgi/..., runs a short guided tour with curl and keeps serving
# until Ctrl-C. DEMO_ONESHOT=1 stops after the tour. Everything it starts
# is stopped by process id on the way out.
set -eu
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-build}" && pwd)
PORT=${DEMO_PORT:-8080}
CGI="$BUILD/webcgi/webcgi"
SIM="$BUILD/tools/coresim/coresim"
SEED="$BUILD/tools/demo_seed/demo_seed"
DEMO="$BUILD/demo"
ROOT="$DEMO/root"
URL="http://127.0.0.1:$PORT/cgi-bin/webcgi"

for p in "$CGI" "$SIM" "$SEED"; do
    [ -x "$p" ] || { echo "demo: $p is missing; run make demo (it builds first)" >&2; exit 1; }
done
command -v lighttpd >/dev/null && command -v curl >/dev/null ||
    { echo "demo: lighttpd and curl are needed (scripts/install-deps.sh)" >&2; exit 1; }

SIM_PID="" WEB_PID=""
stop() {
    trap '' EXIT INT TERM HUP PIPE
    for pid in $WEB_PID $SIM_PID; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $WEB_PID $SIM_PID; do
        wait "$pid" 2>/dev/null || true
    done
    WEB_PID="" SIM_PID=""
}
trap 'stop' EXIT
trap 'echo; echo "stopping"; stop; exit 0' INT TERM HUP
trap 'stop; exit 1' PIPE

# A fresh root each run, under the build tree.
rm -rf "$DEMO"
mkdir -p "$ROOT/mnt/nand/app" "$ROOT/mnt/nand2" "$ROOT/tmp" "$ROOT/var/run" "$ROOT/dev/shm" "$DEMO/tour"
NVR_ROOT="$ROOT" "$SEED" "$SRC/demo/seed.txt"

"$SIM" --root "$ROOT" --scenario "$SRC/demo/scenario.txt" --log "$DEMO/daemon-requests.jsonl" 2>"$DEMO/coresim.err" &
SIM_PID=$!
"$SRC/demo/lighttpd-conf.sh" "$ROOT" "$PORT" "$CGI" "$DEMO/www" >"$DEMO/lighttpd.conf"
lighttpd -tt -f "$DEMO/lighttpd.conf" >/dev/null
lighttpd -D -f "$DEMO/lighttpd.conf" 2>"$DEMO/lighttpd.err" &
WEB_PID=$!

# Both up: the daemon's socket exists and the web server answers.
i=0
until [ -S "$ROOT/var/run/qxsocket" ] && curl -s -o /dev/null "http://127.0.0.1:$PORT/"; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 "$WEB_PID" 2>/dev/null || ! kill -0 "$SIM_PID" 2>/dev/null; then
        echo "demo: the web server or the simulated daemon did not come up:" >&2
        cat "$DEMO/lighttpd.err" "$DEMO/www/log/error.log" "$DEMO/coresim.err" 2>/dev/null | tail -5 >&2
        echo "(port $PORT busy? try DEMO_PORT=8081 make demo)" >&2
        exit 1
    fi
    sleep 0.05
done

bold() { printf '\n\033[1m%s\033[0m\n' "$*"; }
n=0
# step TITLE CURL-ARGS...: prints the request as a command line and the answer.
step() {
    title=$1
    shift
    n=$((n + 1))
    bold "$n. $title"
    printf '$ curl'
    for a in "$@"; do
        case "$a" in
        *[!A-Za-z0-9_./:=@%?-]*) printf " '%s'" "$a" ;;
        *) printf ' %s' "$a" ;;
        esac
    done
    printf '\n'
    out="$DEMO/tour/$n.txt"
    curl -sS -i "$@" >"$out" || true
    # Status line, the program's own header lines, then the body.
    tr -d '\r' <"$out" | grep -v -i -E '^(date|server|accept-ranges|content-length):' |
        awk -v f="$out" 'length($0) > 1000 { $0 = substr($0, 1, 1000) " ... (" length($0) " bytes; all of it in " f ")" }
                         { print "  " $0 }'
    printf '\n'
}
md5() { printf '%s' "$1" | md5sum | cut -d' ' -f1; }

bold "Demo recorder: webcgi behind lighttpd at $URL"
echo "device root $ROOT (store seeded from demo/seed.txt, daemon replies from demo/scenario.txt)"

J='Content-Type: application/json'
C='Cookie: userName=admin'
step "Log in as admin (the page sends the MD5 digest of the password \"admin\")" \
    -H "$J" -d "{\"userName\":\"admin\",\"md5\":\"$(md5 admin)\"}" "$URL/1000"
step "List the user accounts" -H "$C" "$URL/6070"
step "Add an operator account \"nightshift\" (password night-2024)" -H "$J" -H "$C" \
    -d "{\"name\":\"nightshift\",\"password\":\"$(md5 night-2024)\",\"type\":1,\"permission\":511,\"remotePermission\":511,\"localliveview\":\"1111111100000000\",\"localplayback\":\"1111111100000000\",\"remoteliveview\":\"1111111100000000\",\"remoteplayback\":\"0000000000000000\",\"localLiveView\":1,\"localPlayback\":1,\"remoteLiveView\":1}" \
    "$URL/6071"
step "Log in as the new account" \
    -H "$J" -d "{\"userName\":\"nightshift\",\"md5\":\"$(md5 night-2024)\"}" "$URL/1000"
step "List the disks (live state from the core daemon, network disks from the store)" -H "$C" "$URL/6100"
step "List the cameras" -H "$C" "$URL/2001"
step "Read the motion settings of the second channel (chnid 1, \"Car park\")" -H "$J" -H "$C" -d '{"chnid":1}' "$URL/6010"
step "Change them: more sensitive, record channels 2 and 3, trigger alarm output 1" -H "$J" -H "$C" \
    -d '{"camId":1,"enable":1,"sensitivity":6,"triChannels":"0110000000000000","triAlarms":1,"interval":20,"motionTable":"00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff","enableQX":0}' \
    "$URL/6012"
step "Read them back (GET form: the page sends the JSON in the query)" -g -H "$C" "$URL/6010?{%22chnid%22:1}"
printf 'NVR demo configuration\nsaved for the upload step\n' >"$DEMO/nvr config.bin"
step "Upload a file with a multipart form, as a Windows browser names it" -H "$C" \
    -F "file=@$DEMO/nvr config.bin;filename=C:\\Users\\demo\\Documents\\nvr config.bin" "$URL/1008?param:demo"
echo "  The configuration import route is not built yet (so the server reports an"
echo "  empty answer), but the intake has stored the upload under its base name:"
ls -l "$ROOT/tmp" | sed 1d | sed 's/^/    /'

bold "Requests the simulated core daemon received (code, payload bytes)"
sed -n 's/.*"code":\([0-9-]*\),"seq":[0-9]*,"size":\([0-9]*\).*/\1 \2/p' "$DEMO/daemon-requests.jsonl" |
    while read -r code size; do
        case $code in
        3485) what="operation log entry" ;;
        3505) what="user accounts changed" ;;
        3433) what="disk list (answered)" ;;
        3201) what="camera list (answered)" ;;
        1403) what="motion settings of a channel changed" ;;
        3207) what="detection grid for the camera" ;;
        3212) what="camera-side motion mode" ;;
        3209) what="camera motion schedule" ;;
        *) what="" ;;
        esac
        printf '  %5s  %4s bytes  %s\n' "$code" "$size" "$what"
    done

cat <<EOF

$(printf '\033[1m')Send requests by hand$(printf '\033[0m') (the server keeps running):
  curl -i $URL/6100
  curl -i -H '$C' -H '$J' -d '{"chnid":0}' $URL/6010
  curl -i -d '{"userName":"admin","md5":"$(md5 admin)"}' -H '$J' $URL/1000
  curl -i -F 'file=@/etc/hostname' '$URL/1008'
Routes: make routes. Files:
  config store   $ROOT/mnt/nand/app/qxdb.db   ($BUILD/tools/qxdbdump/qxdbdump FILE)
  daemon log     $DEMO/daemon-requests.jsonl
  web server     $DEMO/lighttpd.conf, $DEMO/www/log/
  developer log  $ROOT/mnt/nand/cgi_log.txt
EOF

if [ "${DEMO_ONESHOT:-0}" = 1 ]; then
    echo "DEMO_ONESHOT=1: stopping."
    exit 0
fi
echo "Serving on $URL until Ctrl-C."
wait "$WEB_PID" || true
echo "the web server stopped"
