#!/usr/bin/env bash
# Load test of the page host: sheetora-host running Main.asp against nginx sending the same bytes
# as a static file, both on loopback, measured with wrk one after the other in one run.
# Usage: bench/wrk_main.sh [build folder] [seconds per server] [connections] [host threads]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-5}
connections=${3:-128}
host_threads=${4:-$(nproc)}
wrk_threads=$(( $(nproc) < connections ? $(nproc) : connections ))

work=$(mktemp -d)
host_pid=""
nginx_pid=""
cleanup() {
  [[ -n "$host_pid" ]] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build/sheetora-host" --port 0 --threads "$host_threads" --log-dir "$work" >"$work/host.out" &
host_pid=$!
for _ in $(seq 50); do
  grep -q '^serving on' "$work/host.out" && break
  sleep 0.1
done
host_url="$(sed -n 's/^serving on //p' "$work/host.out")Main.asp"
[[ "$host_url" == http* ]] || { echo "sheetora-host did not start" >&2; exit 1; }

# nginx serves the very bytes the host sends, with the same headers.
mkdir -p "$work/www"
curl -fsS -o "$work/www/Main.asp" "$host_url"
chmod 755 "$work" "$work/www"
chmod 644 "$work/www/Main.asp"
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    (: >"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}
nginx_port=$(free_port)
cat >"$work/nginx.conf" <<CONF
worker_processes $(nproc);
pid $work/nginx.pid;
daemon off;
error_log $work/nginx-error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 10000000;
  open_file_cache max=16;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  types { }
  default_type "text/html; charset=gb2312";
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    add_header X-Frame-Options SAMEORIGIN;
    add_header Content-Security-Policy "frame-ancestors 'self'";
  }
}
CONF
nginx -e "$work/nginx-error.log" -c "$work/nginx.conf" &
nginx_pid=$!
nginx_url="http://127.0.0.1:$nginx_port/Main.asp"
for _ in $(seq 50); do
  curl -fsS -o "$work/nginx.body" "$nginx_url" 2>/dev/null && break
  sleep 0.1
done
cmp -s "$work/www/Main.asp" "$work/nginx.body" || { echo "nginx did not serve the page" >&2; exit 1; }

# CPU time (clock ticks) used so far by a process and its children's threads.
cpu_ticks() {
  local total=0 pid
  for pid in "$@" $(pgrep -P "$1" || true); do
    total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
  done
  echo "$total"
}
# Prints requests/s and the server's CPU time per request in microseconds. On a shared machine
# the second figure is the steadier one.
measure() {
  local url=$1 before after
  shift
  before=$(cpu_ticks "$@")
  wrk -t"$wrk_threads" -c"$connections" -d"${seconds}s" "$url" | tee "$work/wrk.out" >&2
  after=$(cpu_ticks "$@")
  awk -v ticks=$((after - before)) -v hz="$(getconf CLK_TCK)" '
    /requests in/ { requests = $1 }
    /^Requests\/sec:/ { rate = $2 }
    END { printf "%s %.1f\n", rate, ticks * 1e6 / hz / requests }' "$work/wrk.out"
}
echo "Main.asp, $(stat -c %s "$work/www/Main.asp") bytes; $connections connections, ${seconds}s each;" \
  "host threads $host_threads, nginx workers $(nproc), wrk threads $wrk_threads, $(nproc) cores" >&2
echo "== sheetora-host" >&2
read -r host_rate host_cpu < <(measure "$host_url" "$host_pid")
echo "== nginx (static file)" >&2
read -r nginx_rate nginx_cpu < <(measure "$nginx_url" "$nginx_pid")
awk -v h="$host_rate" -v n="$nginx_rate" -v hc="$host_cpu" -v nc="$nginx_cpu" 'BEGIN {
  printf "requests/s: sheetora-host %.0f, nginx %.0f, ratio host/nginx %.2f\n", h, n, h / n
  printf "CPU us per request: sheetora-host %.1f, nginx %.1f\n", hc, nc }'
