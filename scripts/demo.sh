#!/bin/sh
# Runs a few requests against webcgi under a scratch root, next to the
# simulated core daemon, and prints each request and its answer.
set -eu
BUILD=${1:-build}
CGI="$BUILD/webcgi/webcgi"
SIM="$BUILD/tools/coresim/coresim"
ROOT=$(mktemp -d /tmp/nvrdemo.XXXXXX)
SIM_PID=""
cleanup() {
    [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
    rm -rf "$ROOT"
}
trap cleanup EXIT INT TERM

export NVR_ROOT="$ROOT"
mkdir -p "$ROOT/mnt/nand/app" "$ROOT/mnt/nand2" "$ROOT/tmp" "$ROOT/var/run" "$ROOT/dev/shm"
"$SIM" --root "$ROOT" --scenario demo/scenario.txt --log "$ROOT/requests.jsonl" 2>/dev/null &
SIM_PID=$!
i=0
while [ ! -S "$ROOT/var/run/qxsocket" ] && [ $i -lt 200 ]; do sleep 0.01; i=$((i + 1)); done

# request METHOD PATH QUERY [BODY]
request() {
    printf '\n\033[1m%s %s%s\033[0m\n' "$1" "$2" "${3:+?$3}"
    [ -n "${4:-}" ] && printf '%s\n' "$4"
    printf -- '--- answer ---\n'
    if [ "$1" = GET ]; then
        REQUEST_METHOD=GET PATH_INFO="$2" QUERY_STRING="$3" HTTP_COOKIE="userName=admin" \
            REMOTE_ADDR=127.0.0.1 "$CGI" | cat -v
    else
        printf '%s' "$4" | REQUEST_METHOD=POST CONTENT_TYPE=application/json PATH_INFO="$2" \
            HTTP_COOKIE="userName=admin" REMOTE_ADDR=127.0.0.1 "$CGI" | cat -v
    fi
    printf '\n'
}

while IFS='|' read -r method path query body; do
    case "$method" in ''|'#'*) continue ;; esac
    request "$method" "$path" "$query" "$body"
done < demo/requests.txt

printf '\n--- requests the core daemon saw ---\n'
cat "$ROOT/requests.jsonl"
