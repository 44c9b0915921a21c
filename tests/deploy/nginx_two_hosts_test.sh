#!/usr/bin/env bash
# Two sheetora-host instances behind nginx configured by deploy/nginx.conf, all on loopback:
# requests spread over both with identical answers, the proxy's own limits hold, and stopping
# one instance under load loses no request, GET or POST.
#
#   tests/deploy/nginx_two_hosts_test.sh path/to/sheetora-host path/to/deploy/nginx.conf
# Exits 77 (skipped) when nginx is not installed.
set -euo pipefail
host_bin=$1
site_conf=$2
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
[[ -x $nginx_bin ]] || { echo "nginx is not installed"; exit 77; }

work=$(mktemp -d /tmp/sheetora-deploy.XXXXXX)
chmod 755 "$work"  # nginx's workers run as another user
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts an instance on a free port; sets started_pid and started_port.
start_host() {  # name
  mkdir -p "$work/$1"
  "$host_bin" --port 0 --threads 2 --log-dir "$work/$1" >"$work/$1/out" 2>&1 &
  started_pid=$!
  pids+=("$started_pid")
  started_port=""
  for _ in $(seq 100); do
    # The output file may not exist yet: the instance opens it as it starts.
    started_port=$(sed -n 's|^serving on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/$1/out" \
      2>/dev/null || true)
    [[ -n $started_port ]] && return 0
    sleep 0.05
  done
  fail "$1 did not start: $(cat "$work/$1/out")"
}
start_host a
pid_a=$started_pid port_a=$started_port
start_host b
pid_b=$started_pid port_b=$started_port
# A loopback port that nothing listens on, for the proxy. It lies below the kernel's range of
# ports for outgoing connections, which no connect test can see and which would block the bind.
ephemeral_low=$(cut -f1 /proc/sys/net/ipv4/ip_local_port_range)
while :; do
  proxy_port=$((10000 + RANDOM % (ephemeral_low - 10000)))
  (exec 3<>"/dev/tcp/127.0.0.1/$proxy_port") 2>/dev/null || break
done

# The deployment file as shipped, with the test's ports.
sed -e "s|listen 80;|listen 127.0.0.1:$proxy_port;|" \
    -e "s|server 127.0.0.1:8081 |server 127.0.0.1:$port_a |" \
    -e "s|server 127.0.0.1:8082 |server 127.0.0.1:$port_b |" "$site_conf" >"$work/site.conf"
grep -q "127.0.0.1:$port_a " "$work/site.conf" && grep -q "127.0.0.1:$port_b " "$work/site.conf" \
  || fail "the upstream lines of $site_conf are not the expected ones"
mkdir -p "$work/nginx"
cat >"$work/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log notice;
events { worker_connections 1024; }
http {
  log_format upstreams '\$request_method \$uri \$status \$upstream_addr';
  access_log $work/nginx/access.log upstreams;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  include $work/site.conf;
}
CONF
"$nginx_bin" -t -q -c "$work/nginx.conf" -p "$work/nginx" || fail "nginx rejects the configuration"
"$nginx_bin" -c "$work/nginx.conf" -p "$work/nginx" -g 'daemon off;' &
pids+=($!)
proxy="http://127.0.0.1:$proxy_port"
for _ in $(seq 100); do curl -s -o /dev/null "$proxy/" && break; sleep 0.05; done

submit=$(printf '查看开版拼版图' | iconv -f UTF-8 -t GB2312 | od -An -tx1 | tr -d ' \n' | sed 's/../%&/g')
form="PaperL=1092&PaperW=787&PL=210&PW=140&BigSmall=1&PaiLie=MaxP&Submit=$submit"

echo "== requests spread over both instances with identical answers"
for i in $(seq 20); do
  curl -s -D "$work/get$i.head" -o "$work/get$i.body" "$proxy/Main.asp"
  curl -s -D "$work/post$i.head" -o "$work/post$i.body" --data-binary "$form" "$proxy/PinBan.asp"
done
for i in $(seq 2 20); do
  cmp -s "$work/get1.body" "$work/get$i.body" || fail "Main.asp answers differ"
  cmp -s "$work/post1.body" "$work/post$i.body" || fail "PinBan.asp answers differ"
done
cmp -s "$work/get1.body" <(curl -s "http://127.0.0.1:$port_a/Main.asp") \
  || fail "the proxy changed the page"
for head in "$work"/get*.head "$work"/post*.head; do
  grep -q '^HTTP/1.1 200' "$head" || fail "$(head -1 "$head")"
  [[ $(grep -ci '^X-Frame-Options: SAMEORIGIN' "$head") == 1 ]] || fail "X-Frame-Options lost"
  [[ $(grep -ci "^Content-Security-Policy: frame-ancestors 'self'" "$head") == 1 ]] \
    || fail "Content-Security-Policy lost"
done
grep -qi '^Set-Cookie: PinBan=PaperL=1092&PaperW=787&PL=210&PW=140' "$work/post1.head" \
  || fail "the cookie did not pass"
served_a=$(grep -c " 127.0.0.1:$port_a\$" "$work/nginx/access.log" || true)
served_b=$(grep -c " 127.0.0.1:$port_b\$" "$work/nginx/access.log" || true)
echo "instance a served $served_a, instance b served $served_b"
((served_a >= 10 && served_b >= 10)) || fail "requests were not spread"

echo "== the proxy's own limits"
status=$(curl -s -o /dev/null -w '%{http_code}' --data-binary "@"<(head -c 100000 /dev/zero | tr '\0' a) \
  "$proxy/PinBan.asp")
[[ $status == 413 ]] || fail "a 100 KB body got $status"
# The imposition takes artwork far beyond the forms' limit: the proxy passes a 2 MB upload on,
# and the instance answers it (here a 400, as the body holds no part).
status=$(curl -s -o /dev/null -w '%{http_code}' -H 'Content-Type: multipart/form-data; boundary=x' \
  --data-binary "@"<(head -c 2000000 /dev/zero | tr '\0' a) "$proxy/api/v1/impose")
[[ $status == 400 ]] || fail "a 2 MB upload to the imposition got $status"

# Runs two clients on kept-alive connections, GETs and POSTs, within the proxy's per-address
# request rate; after a second it does what it is given to an instance. No request may fail.
under_load() {  # description command...
  echo "== $1 under load loses no request"
  shift
  local urls=() posts=()
  for _ in $(seq 150); do
    urls+=(-o /dev/null "$proxy/Main.asp")
    posts+=(-o /dev/null "$proxy/PinBan.asp")
  done
  cp "$work/nginx/access.log" "$work/access.before"
  curl -s --rate 45/s -w '%{http_code}\n' "${urls[@]}" >"$work/get.codes" &
  local getter=$!
  curl -s --rate 45/s -w '%{http_code}\n' --data-binary "$form" "${posts[@]}" >"$work/post.codes" &
  local poster=$!
  sleep 1
  "$@"
  wait "$getter" "$poster"
  for kind in get post; do
    local total good
    total=$(wc -l <"$work/$kind.codes")
    good=$(grep -c '^200$' "$work/$kind.codes" || true)
    echo "$kind: $good of $total answered 200"
    ((total == 150 && good == 150)) || fail "$kind requests were lost: $(sort "$work/$kind.codes" | uniq -c)"
  done
  echo "requests passed on to the other instance: $(diff "$work/access.before" "$work/nginx/access.log" | grep -c '^>.*, ' || true)"
}

crash_a() {
  kill -KILL "$pid_a"
  wait "$pid_a" 2>/dev/null || true
}
under_load "a crash of one instance" crash_a

# Restarted, as systemd does, it is taken back once the proxy's fail_timeout has passed.
"$host_bin" --port "$port_a" --threads 2 --log-dir "$work/a" >"$work/a/out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port_a/" && break; sleep 0.05; done
sleep 2.5

stop_b() {
  kill -TERM "$pid_b"
  wait "$pid_b" || fail "instance b did not stop cleanly"
}
under_load "stopping one instance" stop_b
last=$(tail -n 20 "$work/nginx/access.log")
grep -q " 127.0.0.1:$port_b\$" <<<"$last" && fail "instance b still got requests"
grep -q " 127.0.0.1:$port_a\$" <<<"$last" || fail "the restarted instance a got no requests"
echo "PASS"
