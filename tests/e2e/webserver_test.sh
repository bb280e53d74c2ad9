#!/bin/sh
# webcgi behind Debian's lighttpd, next to the simulated core daemon, driven
# with curl the way the browser pages drive it.
#
#   webserver_test.sh WEBCGI CORESIM DEMO_SEED SOURCE_DIR
#
# Everything runs under a temporary root on a free loopback port; the web
# server and the daemon are stopped by process id however the test ends.
set -u
CGI=$1 SIM=$2 SEED=$3 SRC=$4
HERE=$(cd "$(dirname "$0")" && pwd)
PATH=$PATH:/usr/sbin:/sbin
if ! command -v lighttpd >/dev/null || ! command -v curl >/dev/null; then
    echo "SKIP: lighttpd and curl are needed (scripts/install-deps.sh)"
    exit 77
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/nvr-e2e.XXXXXX")
ROOT=$WORK/root
SIM_PID="" WEB_PID="" FAILED=0
cleanup() {
    # Nothing may stop the cleanup half-way, not even a closed output pipe.
    trap '' INT TERM HUP PIPE
    for pid in $WEB_PID $SIM_PID; do kill "$pid" 2>/dev/null; done
    for pid in $WEB_PID $SIM_PID; do wait "$pid" 2>/dev/null; done
    if [ "$FAILED" != 0 ]; then
        echo "--- web server log"; cat "$WORK/www/log/error.log" "$WORK/lighttpd.err" 2>/dev/null | tail -20
        echo "--- daemon log"; tail -20 "$WORK/daemon.jsonl" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP PIPE

fail() {
    echo "FAIL: $*"
    FAILED=$((FAILED + 1))
}

mkdir -p "$ROOT/mnt/nand/app" "$ROOT/mnt/nand2" "$ROOT/tmp" "$ROOT/var/run" "$ROOT/dev/shm"
NVR_ROOT="$ROOT" "$SEED" "$HERE/seed.txt" >/dev/null || { FAILED=1; echo "FAIL: seeding"; exit 1; }
"$SIM" --root "$ROOT" --scenario "$HERE/scenario.txt" --log "$WORK/daemon.jsonl" 2>"$WORK/coresim.err" &
SIM_PID=$!

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A port can be taken between asking and binding: try a few.
for attempt in 1 2 3 4 5; do
    PORT=$(free_port)
    "$SRC/demo/lighttpd-conf.sh" "$ROOT" "$PORT" "$CGI" "$WORK/www" >"$WORK/lighttpd.conf"
    lighttpd -D -f "$WORK/lighttpd.conf" 2>"$WORK/lighttpd.err" &
    WEB_PID=$!
    i=0
    while [ $i -lt 100 ] && kill -0 "$WEB_PID" 2>/dev/null &&
        ! curl -s -o /dev/null "http://127.0.0.1:$PORT/"; do
        sleep 0.05
        i=$((i + 1))
    done
    kill -0 "$WEB_PID" 2>/dev/null && break
    wait "$WEB_PID" 2>/dev/null
    WEB_PID=""
done
[ -n "$WEB_PID" ] || { FAILED=1; echo "FAIL: lighttpd did not start"; exit 1; }
i=0
while [ ! -S "$ROOT/var/run/qxsocket" ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
[ -S "$ROOT/var/run/qxsocket" ] || { FAILED=1; echo "FAIL: coresim did not start"; exit 1; }

URL="http://127.0.0.1:$PORT/cgi-bin/webcgi"
N=0
# http ARGS...: one request; sets STATUS and leaves the answer in $HDR and $BODY.
http() {
    N=$((N + 1))
    HDR="$WORK/h$N" BODY="$WORK/b$N"
    STATUS=$(curl -sS -g -D "$HDR" -o "$BODY" -w '%{http_code}' "$@") || STATUS="curl-failed"
    tr -d '\r' <"$HDR" >"$HDR.txt"
    HDR="$HDR.txt"
}
# expect WHAT STATUS BODYCHECK: BODYCHECK is "=text" (whole body), "~text"
# (contained), or "-" (the program wrote nothing, so lighttpd answers 500
# with its own page).
expect() {
    what=$1 want_status=$2 check=$3
    [ "$STATUS" = "$want_status" ] || fail "$what: status $STATUS, want $want_status ($(head -c 200 "$BODY"))"
    case "$check" in
    =*) [ "$(cat "$BODY")" = "${check#=}" ] || fail "$what: body \"$(head -c 300 "$BODY")\", want \"${check#=}\"" ;;
    ~*) grep -qF -- "${check#\~}" "$BODY" || fail "$what: body lacks \"${check#\~}\": $(head -c 300 "$BODY")" ;;
    -) grep -qi '^content-type: text/html' "$HDR" || fail "$what: expected no answer from the program, got $(cat "$HDR")" ;;
    esac
}
# Request codes the daemon saw, sorted: each notice comes on a connection
# of its own, so the log's order between connections is not the send order.
daemon_codes() { sed -n 's/.*"code":\([0-9-]*\),.*/\1/p' "$WORK/daemon.jsonl" | sort -n | tr '\n' ' '; }

# ---- GET: the query string is the request text ("%22" becomes a quote,
# nothing else is decoded, braces arrive as sent).
while IFS='|' read -r path query status check; do
    case "$path" in '' | '#'*) continue ;; esac
    http -H 'Cookie: userName=admin' "$URL$path${query:+?$query}"
    expect "GET $path?$query" "$status" "$check"
done <<'EOF'
/6103|5|200|=OK
/6103|16|200|=OK
/6103|17|500|-
/6103|5%20|500|-
/vb.htm|softversion|200|=7x.7.0.9
/6010|{%22chnid%22:0}|200|~{ "chnid": 0, "enable": 1, "sensitivity": 4, "triChannels": "1000",
/6010|{%22chnid%22:64}|200|={status:"CGI ERROR"}
/6070||200|~"name": "operator", "password": "2ab591973042292826f290f01be37ef1", "type": 1,
# routes with no handler: no answer at all, and the server carries on
/9999|x=1|500|-
/|x=1|500|-
/6100/x||500|-
EOF

# ---- Answer header lines as the program writes them, passed on by the server.
http "$URL/6103?3"
grep -qx 'Content-type: text/plain' "$HDR" || fail "text answer header: $(cat "$HDR")"
grep -qx 'Content-Length: 2' "$HDR" || fail "text answer length: $(cat "$HDR")"
http -H 'Content-Type: application/json' -d '{"chnid":0}' "$URL/6010"
grep -qx 'Content-type: application/json' "$HDR" || fail "JSON answer header: $(cat "$HDR")"
grep -qx "Content-Length: $(wc -c <"$BODY" | tr -d ' ')" "$HDR" || fail "JSON answer length: $(cat "$HDR")"

# ---- POST JSON.
md5() { printf '%s' "$1" | md5sum | cut -d' ' -f1; }
J='Content-Type: application/json'
http -H "$J" -d "{\"userName\":\"admin\",\"md5\":\"$(md5 admin)\"}" "$URL/1000"
expect "login" 200 '~{ "type": 0, "userName": "admin", "permission": -1,'
grep -qE '"sessionId": "[0-9]{32}"' "$BODY" || fail "login: no session id: $(head -c 300 "$BODY")"
http -H "$J" -d "{\"userName\":\"admin\",\"md5\":\"$(md5 wrong)\"}" "$URL/1000"
expect "login, wrong password" 200 '={ "type": -1 }'
http -H 'Content-Type: Application/JSON; charset=utf-8' -d '{"portId":3,"property":1,"group":2}' "$URL/6101"
expect "content type in capitals with a charset" 200 '=OK'
http -H 'Content-Type: text/plain' -d '{"portId":3,"property":1,"group":2}' "$URL/6101"
expect "content type text/plain runs nothing" 500 '-'

: >"$WORK/daemon.jsonl"
http -H "$J" -H 'Cookie: userName=operator' \
    -d '{"camId":2,"enable":1,"sensitivity":6,"triChannels":"0110","triAlarms":1,"interval":20,"motionTable":"00ff","enableQX":0}' \
    "$URL/6012"
expect "motion settings" 200 '=OK'
[ "$(daemon_codes)" = "1403 3207 3212 3485 " ] || fail "motion settings: daemon saw $(daemon_codes)"
grep -q '"code":1403,"seq":[0-9]*,"size":4,"payload":"02000000"' "$WORK/daemon.jsonl" ||
    fail "motion settings: notice is not for channel 2"
# The operation-log entry names the user of the cookie.
grep '"code":3485' "$WORK/daemon.jsonl" | grep -q "$(printf operator | od -An -tx1 | tr -d ' \n')" ||
    fail "motion settings: log entry does not name the cookie's user"
http -H "$J" -d '{"chnid":2}' "$URL/6010"
expect "motion settings read back" 200 '~{ "chnid": 2, "enable": 1, "sensitivity": 6, "triChannels": "0110", "triAlarms": 1, "interval": 20, "enableQX": 0, "motionTable": "00ff",'

# Adds from several browsers at once get distinct slots.
pids=""
for name in night1 night2 night3 night4 night5; do
    curl -sS -H "$J" -d "{\"name\":\"$name\",\"password\":\"$(md5 "$name")\",\"type\":1,\"permission\":0,\"remotePermission\":0}" \
        -o "$WORK/add-$name" "$URL/6071" &
    pids="$pids $!"
done
for pid in $pids; do wait "$pid"; done
ids=$(for f in "$WORK"/add-night*; do cat "$f"; echo; done | sort | tr '\n' ' ')
[ "$ids" = "id=2 id=3 id=4 id=5 id=6 " ] || fail "concurrent adds: $ids"
http "$URL/6070"
[ "$(grep -o '"name": "night[0-9]"' "$BODY" | wc -l)" = 5 ] || fail "concurrent adds: list $(head -c 300 "$BODY")"

# ---- Multipart upload made by curl -F: the file keeps the base name of
# the client's path (Windows or not) in /tmp of the root, byte for byte.
head -c 70000 /dev/urandom >"$WORK/payload.bin"
printf 'line one\r\n--not-a-boundary\r\n' >>"$WORK/payload.bin"
while IFS='|' read -r client stored; do
    case "$client" in '' | '#'*) continue ;; esac
    rm -f "$ROOT/tmp/$stored"
    http -F "file=@$WORK/payload.bin;filename=$client" -F 'note=kept' "$URL/1008?param:abc&x=1"
    expect "upload $client" 500 '-'
    if [ -f "$ROOT/tmp/$stored" ]; then
        cmp -s "$WORK/payload.bin" "$ROOT/tmp/$stored" || fail "upload $client: stored bytes differ"
    else
        fail "upload $client: no \"$stored\" in /tmp, found: $(ls "$ROOT/tmp" | tr '\n' '|')"
    fi
done <<'EOF'
# client file name | name in /tmp (curl sends a quote as %22, as browsers do)
C:\Users\Demo User\Documents\nvr "backup" 2024.cfg|nvr %22backup%22 2024.cfg
C:\cfg.bin|cfg.bin
/home/demo/my settings.bin|my settings.bin
plain.bin|plain.bin
EOF
# A name that would climb out of /tmp is refused before anything moves.
http -F "file=@$WORK/payload.bin;filename=..\\.." "$URL/1008"
expect "upload named .." 500 '-'
[ "$(ls "$ROOT" | tr '\n' ' ')" = "dev mnt tmp var " ] || fail "upload named ..: root holds $(ls "$ROOT")"
# "/1019" takes the temporary file and drops it at exit.
http -F "file=@$WORK/payload.bin;filename=drop me.bin" "$URL/1019"
expect "upload to /1019" 500 '-'
[ ! -e "$ROOT/tmp/drop me.bin" ] || fail "upload to /1019 kept the file"
leftover=$(ls "$ROOT/tmp" | grep '^cgic' | tr '\n' ' ')
[ -z "$leftover" ] || fail "upload temporaries left in /tmp: $leftover"

# ---- Waited requests: the answer comes when the daemon's reply arrives
# (the disk list is answered after 300 ms, the camera list at once).
: >"$WORK/daemon.jsonl"
http "$URL/6100"
expect "disk list" 200 '~{ "resultString": "OK", "esataType": 0, "HDD": [ { "portId": 1, "vendorName": "SATA-1",'
grep -qF '"portId": 7, "vendorName": "NAS", "address": "192.168.1.20", "directory": "\/export\/nvr", "totalSize": 0, "usedSize": 0, "freeSize": 0, "hddType": 3, "state": 2,' "$BODY" ||
    fail "disk list: the stored network disk is not listed as absent: $(head -c 600 "$BODY")"
grep -qF '"maxDiskNum": 36 }' "$BODY" || fail "disk list: end of answer"
http "$URL/2001"
expect "camera list" 200 '~{ "IPC": [ { "id": 0, "enable": 1, "name": "Gate A", "ipAddr": "192.168.1.101",'
grep -qF '"maxIPCNums": 4 }' "$BODY" || fail "camera list: maxIPCNums"
[ "$(daemon_codes)" = "3201 3433 " ] || fail "waited requests: daemon saw $(daemon_codes)"

# ---- The server is still up, and no request crashed or tripped a sanitizer.
http "$URL/6103?1"
expect "after everything" 200 '=OK'
sleep 0.2
if grep -E 'died with signal|AddressSanitizer|runtime error|LeakSanitizer' \
    "$WORK/www/log/error.log" "$WORK/lighttpd.err" >"$WORK/crashes" 2>/dev/null; then
    fail "a request crashed: $(head -5 "$WORK/crashes")"
fi

[ "$FAILED" = 0 ] && echo "web server test: all requests answered as expected ($N requests)"
[ "$FAILED" = 0 ]
