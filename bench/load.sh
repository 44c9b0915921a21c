#!/usr/bin/env bash
# Load test: sheetora-host against nginx serving the same response bytes as static files.
#
#   bench/load.sh [SECONDS] [CONNECTIONS]     (defaults: 60 s, 256 connections)
#
# For each kind of page it runs wrk against the host and then against nginx on loopback, and
# prints requests/s, the 99th percentile latency, errors (socket errors plus answers of the wrong
# status) and the host's resident memory before and after. Needs a release build in build/ (or
# SHEETORA_BUILD=dir), wrk and nginx.
set -euo pipefail
cd "$(dirname "$0")/.."
duration=${1:-60}
connections=${2:-256}
build=${SHEETORA_BUILD:-build}
threads=$(nproc)

work=$(mktemp -d /tmp/sheetora-load.XXXXXX)
chmod 755 "$work"  # nginx's workers run as another user
host_pid="" nginx_pid=""
cleanup() {
  [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A loopback port that nothing listens on.
# Below the kernel's range of ports for outgoing connections: one held by a client connection
# passes the connect test but would make the bind fail.
free_port() {
  local port low
  low=$(cut -f1 /proc/sys/net/ipv4/ip_local_port_range)
  while :; do
    port=$((10000 + RANDOM % (low - 10000)))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}
wait_port() {
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$1/" && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  return 1
}
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
# Text as a browser posts it from a GB2312 page: GB2312 bytes, percent-encoded.
gb2312_form_text() { printf '%s' "$1" | iconv -f UTF-8 -t GB2312 | od -An -tx1 | tr -d ' \n' | sed 's/../%\U&/g'; }

submit=$(gb2312_form_text "查看开版拼版图")
# kind | expected status | method | host path | form body
kinds=(
  "Main.asp|200|GET|/Main.asp|"
  "PinBan.asp MaxP|200|POST|/PinBan.asp|PaperL=1092&PaperW=787&PL=210&PW=140&BigSmall=1&PaiLie=MaxP&Submit=$submit"
  "Paper.asp|200|POST|/Paper.asp|PaperWeight=157&PaperSpec=889*1194&CustomL=&CustomW=&PPriceType=TonPrice&TonPrice=6000"
  "Spine.asp|200|POST|/Spine.asp|PaperWeight=80&PaperPNum=200"
  "alert|200|POST|/PinBan.asp|PaperL=abc&PaperW=787&PL=210&PW=140&BigSmall=1&PaiLie=MaxP&Submit=$submit"
  "404|404|GET|/Missing.asp|"
)

host_port=$(free_port)
mkdir -p "$work/log" "$work/static"
"$build/sheetora-host" --port "$host_port" --threads "$threads" --log-dir "$work/log" \
  >"$work/host.out" 2>&1 &
host_pid=$!
wait_port "$host_port"

# nginx answers every kind with the host's bytes for it; a POST to a static file is let through
# as a GET of that file.
for i in "${!kinds[@]}"; do
  IFS='|' read -r _ status method path body <<<"${kinds[$i]}"
  args=(-s -o "$work/static/kind$i.html" -w '%{http_code}')
  [[ $method == POST ]] && args+=(--data-binary "$body")
  got=$(curl "${args[@]}" "http://127.0.0.1:$host_port$path")
  if [[ $got != "$status" ]]; then
    echo "${kinds[$i]%%|*}: the host answered $got, expected $status" >&2
    exit 1
  fi
done
nginx_port=$(free_port)
mkdir -p "$work/nginx"
cat >"$work/nginx.conf" <<EOF
worker_processes $threads;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  keepalive_requests 1000000;
  default_type "text/html; charset=gb2312";
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/static;
    error_page 405 =200 \$uri;
  }
}
EOF
nginx -c "$work/nginx.conf" -p "$work/nginx" -g 'daemon off;' &
nginx_pid=$!
wait_port "$nginx_port"

# One wrk script per kind: method, form body, and the status that counts as an answer.
write_script() {  # file method body
  {
    echo "wrk.method = \"$2\""
    if [[ $2 == POST ]]; then
      echo 'wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"'
      echo "wrk.body = \"$3\""
    fi
  } >"$1"
}

# Prints "requests/s p99 errors" of one wrk run; errors are socket errors plus answers whose
# status is not the expected one.
measure() {  # url script expected_status
  local out requests non2xx socket
  out=$(wrk -t"$threads" -c"$connections" -d"${duration}s" --timeout 5s --latency -s "$2" "$1")
  requests=$(awk '/requests in/ {print $1}' <<<"$out")
  non2xx=$(awk '/Non-2xx or 3xx responses/ {print $NF}' <<<"$out")
  socket=$(awk '/Socket errors/ {gsub(",", ""); print $4 + $6 + $8 + $10}' <<<"$out")
  non2xx=${non2xx:-0} socket=${socket:-0}
  local wrong=$non2xx
  [[ $3 == 404 ]] && wrong=$((requests - non2xx))
  printf '%s %s %s\n' "$(awk '/Requests\/sec/ {print $2}' <<<"$out")" \
    "$(awk '$1 == "99%" {print $2}' <<<"$out")" "$((socket + wrong))"
}

printf '%-18s %12s %9s %7s | %12s %9s %7s | %6s | %s\n' kind "host req/s" "p99" errors \
  "nginx req/s" "p99" errors ratio "host RSS KiB before -> after"
failed=0
for i in "${!kinds[@]}"; do
  IFS='|' read -r kind status method path body <<<"${kinds[$i]}"
  write_script "$work/kind$i.lua" "$method" "$body"
  before=$(rss_kib "$host_pid")
  read -r host_rps host_p99 host_errors < <(measure "http://127.0.0.1:$host_port$path" \
    "$work/kind$i.lua" "$status")
  after=$(rss_kib "$host_pid")
  nginx_status=200
  [[ $status == 404 ]] && nginx_status=404
  nginx_path="/kind$i.html"
  [[ $status == 404 ]] && nginx_path="/missing.html"
  read -r nginx_rps nginx_p99 nginx_errors < <(measure "http://127.0.0.1:$nginx_port$nginx_path" \
    "$work/kind$i.lua" "$nginx_status")
  ratio=$(awk -v a="$host_rps" -v b="$nginx_rps" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-18s %12s %9s %7s | %12s %9s %7s | %6s | %s -> %s\n' "$kind" "$host_rps" "$host_p99" \
    "$host_errors" "$nginx_rps" "$nginx_p99" "$nginx_errors" "$ratio" "$before" "$after"
  ((host_errors == 0)) || failed=1
done
if grep -q . "$work/log/"* 2>/dev/null; then
  echo "error log lines written during the run:" >&2
  cat "$work/log/"* >&2
fi
exit "$failed"
