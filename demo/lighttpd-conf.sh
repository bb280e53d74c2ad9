#!/bin/sh
# Prints a lighttpd configuration that serves webcgi as a CGI program at
# /cgi-bin/webcgi/... on 127.0.0.1, the way the recorder's web server runs
# it: one process per request, the route in PATH_INFO.
#
#   demo/lighttpd-conf.sh ROOT PORT WEBCGI [CONFDIR] > lighttpd.conf
#
# ROOT is the device root (NVR_ROOT for webcgi; uploads are buffered in
# ROOT/tmp); logs and the document root go to CONFDIR (default ROOT/../www).
# mod_cgi hands the CGI program only the CGI variables, so NVR_ROOT and the
# sanitizer options (when set here) are added explicitly.
set -eu
ROOT=$1 PORT=$2 CGI=$3
CONF=${4:-$(dirname "$ROOT")/www}
mkdir -p "$CONF/htdocs" "$CONF/log" "$ROOT/tmp"

env_items="\"NVR_ROOT\" => \"$ROOT\""
for v in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
    eval "val=\${$v:-}"
    [ -n "$val" ] && env_items="$env_items, \"$v\" => \"$val\""
done

cat <<CONF
server.modules        = ("mod_alias", "mod_setenv", "mod_cgi", "mod_accesslog")
server.bind           = "127.0.0.1"
server.port           = $PORT
server.document-root  = "$CONF/htdocs"
server.errorlog       = "$CONF/log/error.log"
accesslog.filename    = "$CONF/log/access.log"
server.upload-dirs    = ("$ROOT/tmp")
server.max-request-size = 65536
# The query reaches the program as the browser sent it (lighttpd would
# otherwise re-encode "{" and "}" that the pages put there unescaped).
server.http-parseopts = ("url-normalize" => "disable")
alias.url             = ("/cgi-bin/webcgi" => "$CGI")
\$HTTP["url"] =~ "^/cgi-bin/webcgi(/|$)" {
    cgi.assign        = ("" => "")
}
setenv.add-environment = ($env_items)
CONF
