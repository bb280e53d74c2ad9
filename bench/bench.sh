#!/bin/sh
# make bench: what a request costs, against a minimal CGI program, in one run.
#
# Release build; two floor programs built here (a fixed answer; a store open
# plus a json-c answer); webcgi on five routes. Each is timed as the median
# of many direct starts (as the web server starts it) and as requests per
# second through lighttpd with wrk. Prints the table and writes
# docs/performance.md.
#
# BENCH_BUILD (build-bench), BENCH_RUNS (300), BENCH_ROUNDS (10), BENCH_SECONDS (3),
# BENCH_CONCURRENCY ("1 4 16"), JOBS (2).
set -eu
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD:-$SRC/build-bench}
case "$BUILD" in /*) ;; *) BUILD=$SRC/$BUILD ;; esac
RUNS=${BENCH_RUNS:-300}
SECONDS_EACH=${BENCH_SECONDS:-3}
CONCURRENCY=${BENCH_CONCURRENCY:-1 4 16}
W=$BUILD/bench
ROOT=$W/root
PATH=$PATH:/usr/sbin:/sbin
for tool in cc lighttpd wrk strip pkg-config; do
    command -v $tool >/dev/null || { echo "bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

echo "== release build in $BUILD"
cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DNVR_SANITIZE=OFF -DNVR_TEST_AREAS=none >/dev/null
cmake --build "$BUILD" -j"${JOBS:-2}" --target webcgi update coresim demo_seed -- --no-print-directory >/dev/null
rm -rf "$W"
mkdir -p "$W" "$ROOT/mnt/nand/app" "$ROOT/mnt/nand2" "$ROOT/tmp" "$ROOT/var/run" "$ROOT/dev/shm"
CFLAGS="-O2 -Wall -Wextra -Werror"
cc $CFLAGS -o "$W/floor_plain" "$SRC/bench/floor_plain.c"
cc $CFLAGS -o "$W/floor_store" "$SRC/bench/floor_store.c" $(pkg-config --cflags --libs json-c sqlite3)
cc $CFLAGS -o "$W/cgi_run" "$SRC/bench/cgi_run.c"
CGI=$BUILD/webcgi/webcgi

SIM_PID="" WEB_PID=""
stop_web() {
    [ -n "$WEB_PID" ] && { kill "$WEB_PID" 2>/dev/null || true; wait "$WEB_PID" 2>/dev/null || true; }
    WEB_PID=""
}
cleanup() {
    trap '' EXIT INT TERM HUP PIPE
    stop_web
    [ -n "$SIM_PID" ] && { kill "$SIM_PID" 2>/dev/null || true; wait "$SIM_PID" 2>/dev/null || true; }
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP PIPE

# ---- The recorder: 100 accounts, 64 motion channels, a few stored disks;
# the daemon answers the disk list with 36 disks at once.
{
    echo "param model NVR-6464"
    i=0
    while [ $i -lt 100 ]; do
        echo "user name=user$i md5=21232f297a57a5a743894a0e4a801fc3 type=$((i % 3)) permission=-1 remotePermission=-1 channels=1111111111111111111111111111111111111111111111111111111111111111"
        i=$((i + 1))
    done
    i=0
    while [ $i -lt 64 ]; do
        echo "motion chn=$i enable=1 sensitivity=4 triChannels=1 triAlarms=1 interval=10 enableQX=1 motionTable=ffff effective=00:00-24:00"
        i=$((i + 1))
    done
    echo "disk slot=1 type=0 vendor=SATA"
    echo "disk slot=30 type=3 vendor=NAS address=192.168.1.20 directory=/export/nvr user=nvr password=pw"
} >"$W/seed.txt"
NVR_ROOT="$ROOT" "$BUILD/tools/demo_seed/demo_seed" "$W/seed.txt" >/dev/null
{
    printf '3433 8433'
    i=1
    while [ $i -le 36 ]; do
        printf ' i32:%d text:64:DISK-%d text:64: text:128: i32:0,1 zero:4 i64:4000787030016,1000000000000,3000787030016 i32:0,0,0 zero:4 i32:0,0,0,0 zero:64 text:33: text:33: zero:6' $i $i
        i=$((i + 1))
    done
    printf '\n'
} >"$W/scenario.txt"
"$BUILD/tools/coresim/coresim" --root "$ROOT" --scenario "$W/scenario.txt" --log "$W/daemon.jsonl" 2>/dev/null &
SIM_PID=$!
i=0
while [ ! -S "$ROOT/var/run/qxsocket" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done

COPY63=$(i=1; s=""; while [ $i -le 63 ]; do s="$s${s:+,}$i"; i=$((i + 1)); done; echo "$s")
# name|program|method|path|query|body|expected in the answer
cat >"$W/cases.txt" <<EOF
floor: fixed answer|$W/floor_plain|GET|/x|||OK
floor: store + JSON|$W/floor_store|GET|/x|||"model": "NVR-6464"
/6103 no store, no daemon|$CGI|GET|/6103|3||OK
/6070 100 accounts|$CGI|GET|/6070|||"name": "user99"
/6101 store write + notices + log|$CGI|POST|/6101||{"portId":3,"property":1,"group":2}|OK
/6100 waited, 36 disks at once|$CGI|GET|/6100|||"portId": 36
/6112 copy to 63 channels|$CGI|POST|/6112||{"chnid":0,"dialog":{"chnid":0,"enable":1,"interval":15},"enableQX":1,"sensitivity":5,"motionTable":"ffff","copyChn":[$COPY63],"copyCnt":63}|OK
EOF

# run_env METHOD PATH QUERY BODYFILE COMMAND...: a CGI request environment.
run_env() {
    method=$1 path=$2 query=$3 bodyfile=$4
    shift 4
    ctype=""
    len=0
    [ "$method" = POST ] && ctype=application/json && len=$(wc -c <"$bodyfile")
    env NVR_ROOT="$ROOT" REQUEST_METHOD="$method" PATH_INFO="$path" QUERY_STRING="$query" \
        CONTENT_TYPE="$ctype" CONTENT_LENGTH="$len" HTTP_COOKIE="userName=admin" REMOTE_ADDR=127.0.0.1 \
        HTTP_HOST=127.0.0.1 SERVER_PROTOCOL=HTTP/1.1 GATEWAY_INTERFACE=CGI/1.1 "$@"
}

# The machine may be busy with other work: the starts are taken in rounds,
# every program a few times per round, so that a busy spell hits them alike.
ROUNDS=${BENCH_ROUNDS:-10}
PER_ROUND=$(( (RUNS + ROUNDS - 1) / ROUNDS ))
echo "== direct starts ($ROUNDS rounds of $PER_ROUND starts per program)"
n=0
while IFS='|' read -r name prog method path query body expect; do
    n=$((n + 1))
    bodyfile=-
    if [ -n "$body" ]; then
        bodyfile=$W/body$n.json
        printf '%s' "$body" >"$bodyfile"
    fi
    # One request first: the timing is only worth something for the right answer.
    run_env "$method" "$path" "$query" "$bodyfile" "$prog" <"$( [ "$bodyfile" = - ] && echo /dev/null || echo "$bodyfile")" \
        >"$W/answer$n.txt"
    grep -qF "$expect" "$W/answer$n.txt" || { echo "bench: $name answered: $(head -c 300 "$W/answer$n.txt")" >&2; exit 1; }
    : >"$W/runs$n.txt"
done <"$W/cases.txt"
: >"$W/daemon.jsonl"
r=0
while [ $r -lt "$ROUNDS" ]; do
    r=$((r + 1))
    n=0
    while IFS='|' read -r name prog method path query body expect; do
        n=$((n + 1))
        bodyfile=-
        [ -n "$body" ] && bodyfile=$W/body$n.json
        run_env "$method" "$path" "$query" "$bodyfile" "$W/cgi_run" "$PER_ROUND" "$bodyfile" "$W/runs$n.txt" "$prog" >/dev/null
        [ "$path" = /6100 ] && WAITED=$n
    done <"$W/cases.txt"
    printf '.'
done
printf '\n'
# name|median|p10|p90|peak rss|failed runs (times in microseconds)
n=0
: >"$W/direct.txt"
while IFS='|' read -r name prog method path query body expect; do
    n=$((n + 1))
    sort -n "$W/runs$n.txt" | awk -v name="$name" '
        { t[NR] = $1; if ($3 > rss) rss = $3; if ($4 != 0) bad++ }
        END { printf "%s|%d|%d|%d|%d|%d\n", name, t[int((NR + 1) / 2)], t[int(NR / 10) + 1], t[int(NR * 9 / 10)], rss, bad }' \
        >>"$W/direct.txt"
done <"$W/cases.txt"
while IFS='|' read -r name med p10 p90 rss failed; do
    printf '  %-34s median %6.2f ms  (p10 %6.2f, p90 %6.2f)  peak RSS %5d KiB  failed %d\n' \
        "$name" "$(echo "$med" | awk '{print $1/1000}')" "$(echo "$p10" | awk '{print $1/1000}')" \
        "$(echo "$p90" | awk '{print $1/1000}')" "$rss" "$failed"
done <"$W/direct.txt"
# The waited query: from the daemon receiving the request (its reply goes
# out at once) to the answer being complete and the process gone.
sed -n 's/.*"time":\([0-9.]*\),.*"code":3433,.*/\1/p' "$W/daemon.jsonl" >"$W/requests.txt"
awk '{ print $2 }' "$W/runs$WAITED.txt" >"$W/ends.txt"
[ "$(wc -l <"$W/requests.txt")" = "$(wc -l <"$W/ends.txt")" ] ||
    { echo "bench: the daemon log does not match the waited runs" >&2; exit 1; }
paste "$W/requests.txt" "$W/ends.txt" | awk '{ print ($2 - $1) * 1e6 }' | sort -n >"$W/after_reply.txt"
AFTER_REPLY=$(awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] + 0 }' "$W/after_reply.txt")
printf '  waited query: %.2f ms from the daemon seeing the request to the answer done (median)\n' \
    "$(echo "$AFTER_REPLY" | awk '{print $1/1000}')"

echo "== through lighttpd with wrk (${SECONDS_EACH}s per figure, concurrency: $CONCURRENCY)"
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
n=0
: >"$W/served.txt"
while IFS='|' read -r name prog method path query body expect; do
    n=$((n + 1))
    "$SRC/demo/lighttpd-conf.sh" "$ROOT" "$PORT" "$prog" "$W/www$n" >"$W/lighttpd$n.conf"
    lighttpd -D -f "$W/lighttpd$n.conf" </dev/null 2>"$W/lighttpd$n.err" &
    WEB_PID=$!
    i=0
    until curl -s -o /dev/null "http://127.0.0.1:$PORT/"; do
        sleep 0.05
        i=$((i + 1))
        [ $i -lt 100 ] || { echo "bench: lighttpd did not start" >&2; exit 1; }
    done
    {
        echo "wrk.method = \"$method\""
        [ -n "$body" ] && echo "wrk.body = [[$body]]" && echo 'wrk.headers["Content-Type"] = "application/json"'
        echo 'wrk.headers["Cookie"] = "userName=admin"'
    } >"$W/req$n.lua"
    line="$name"
    for c in $CONCURRENCY; do
        t=$c
        [ "$t" -gt 2 ] && t=2
        wrk -t"$t" -c"$c" -d"${SECONDS_EACH}s" -s "$W/req$n.lua" "http://127.0.0.1:$PORT/cgi-bin/webcgi$path${query:+?$query}" </dev/null >"$W/wrk$n-$c.txt" 2>&1
        rps=$(sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p' "$W/wrk$n-$c.txt")
        bad=$(sed -n 's/.*Non-2xx or 3xx responses: *\([0-9]*\).*/\1/p' "$W/wrk$n-$c.txt")
        errs=$(sed -n 's/.*Socket errors:.*timeout \([0-9]*\).*/\1/p' "$W/wrk$n-$c.txt")
        line="$line|${rps:-0}|${bad:-0}|${errs:-0}"
    done
    echo "$line" >>"$W/served.txt"
    echo "  $line"
    stop_web
done <"$W/cases.txt"

echo "== sizes"
strip -o "$W/webcgi.stripped" "$CGI"
strip -o "$W/update.stripped" "$BUILD/update/update"
strip -o "$W/floor_store.stripped" "$W/floor_store"
size_of() { wc -c <"$1" | tr -d ' '; }

# ---- The table, with ratios to the store-and-JSON floor.
OUT=$SRC/docs/performance.md
CPU=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
{
    echo "# Performance"
    echo
    echo "What one request costs, measured by \`make bench\` (\`bench/bench.sh\`) in one run"
    echo "on one machine. Every figure is set against two floors built by the benchmark:"
    echo "a CGI program that prints a fixed answer, and one that also opens the SQLite"
    echo "store, reads one value and answers with a json-c object. The ratio column"
    echo "is against the store-and-JSON floor (the least a real route can do)."
    echo
    echo "## Machine"
    echo
    echo "- CPU: ${CPU:-unknown}, $(nproc) logical CPUs online"
    echo "- memory: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
    echo "- system: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
    echo "- compiler: $(cc --version | head -1); release build (\`-O3\`), floors \`-O2\`"
    echo "- web server: $(lighttpd -v 2>&1 | head -1 | cut -d' ' -f1); load generator: $(wrk -v 2>&1 | head -1 | cut -d' ' -f1-2)"
    echo "- load average when the run ended: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo
    echo "## Started directly (median of $((ROUNDS * PER_ROUND)) starts, in $ROUNDS interleaved rounds)"
    echo
    echo "The program is started the way the web server starts it: a fresh process,"
    echo "the request in the environment, the body on standard input, the answer to"
    echo "/dev/null. Peak RSS is the largest resident size of one request."
    echo
    echo "| program | median ms | p10 ms | p90 ms | × store floor | peak RSS KiB |"
    echo "|---|---:|---:|---:|---:|---:|"
    floor=$(sed -n 2p "$W/direct.txt" | cut -d'|' -f2)
    while IFS='|' read -r name med p10 p90 rss failed; do
        printf '| %s | %.2f | %.2f | %.2f | %.2f | %d |\n' "$name" \
            "$(echo "$med" | awk '{print $1/1000}')" "$(echo "$p10" | awk '{print $1/1000}')" \
            "$(echo "$p90" | awk '{print $1/1000}')" "$(echo "$med $floor" | awk '{print $1/$2}')" "$rss"
    done <"$W/direct.txt"
    echo
    printf 'Waited query answered at once ("/6100", 36 disks): %.2f ms (median) from the\n' \
        "$(echo "$AFTER_REPLY" | awk '{print $1/1000}')"
    echo "daemon receiving the request, its reply going out at once, to the answer being"
    echo "written and the process gone."
    echo
    echo "## Through lighttpd (requests per second, wrk, ${SECONDS_EACH} s each)"
    echo
    head="| program |"
    rule="|---|"
    for c in $CONCURRENCY; do
        head="$head $c conn. | × floor |"
        rule="$rule---:|---:|"
    done
    echo "$head"
    echo "$rule"
    floor_line=$(sed -n 2p "$W/served.txt")
    while IFS= read -r l; do
        name=${l%%|*}
        echo "$l|$floor_line" | awk -F'|' -v n="$(echo "$CONCURRENCY" | wc -w)" -v name="$name" '{
            row = "| " name " |"
            for (k = 0; k < n; k++) {
                rps = $(2 + 3 * k); bad = $(3 + 3 * k); late = $(4 + 3 * k); fl = $(2 + 3 * n + 1 + 3 * k)
                note = bad > 0 ? " (" bad " not 2xx)" : ""
                if (late > 0) note = note " (" late " over 2 s)"
                row = row sprintf(" %.0f%s | %.2f |", rps, note, fl > 0 ? rps / fl : 0)
            }
            print row
        }'
    done <"$W/served.txt"
    echo
    echo "## Sizes (stripped)"
    echo
    echo "| program | bytes |"
    echo "|---|---:|"
    echo "| webcgi | $(size_of "$W/webcgi.stripped") |"
    echo "| update | $(size_of "$W/update.stripped") |"
    echo "| store-and-JSON floor | $(size_of "$W/floor_store.stripped") |"
    echo
    echo "## Targets"
    echo
    met=$(awk -F'|' -v f="$floor" 'NR > 2 && $2 / f <= 2.5 { printf "%s%s (%.2f)", sep, $1, $2 / f; sep = ", " }' "$W/direct.txt")
    missed=$(awk -F'|' -v f="$floor" 'NR > 2 && $2 / f > 2.5 { printf "%s%s (%.2f)", sep, $1, $2 / f; sep = ", " }' "$W/direct.txt")
    echo "- every route within 2.5 times the store-and-JSON floor when started directly:"
    echo "  met by ${met:-none}; missed by ${missed:-none}."
    printf -- '- a waited query answered at once within 5 ms of the reply: %.2f ms (%s).\n' \
        "$(echo "$AFTER_REPLY" | awk '{print $1/1000}')" "$(echo "$AFTER_REPLY" | awk '{print ($1 <= 5000) ? "met" : "missed"}')"
    echo
    cat "$SRC/bench/notes.md"
} >"$OUT.new"
mv "$OUT.new" "$OUT"
echo
cat "$OUT"
echo
echo "written to docs/performance.md"
