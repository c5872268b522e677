#!/usr/bin/env bash
# A real Prometheus scrapes `tamlo serve` in front of simulated receivers of the three
# generations, a silent one and one whose cable comes out; asked through its own query API,
# it has an RSSI for each answering receiver, tamlo_up 0 for the two others and the channels
# in hertz. Then `tamlo apply` takes a watched port and the next scrape shows its new value.
#   tests/serve/prometheus-e2e.sh BUILD_DIR     (BUILD_DIR holds tamlo and tools/tamlo-sim)
set -euo pipefail
build=$(cd "${1:?give the build folder}" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "prometheus-e2e: $*" >&2; exit 1; }
command -v prometheus >/dev/null || fail "prometheus is not installed (Debian's prometheus)"

sim() {  # NAME FIRMWARE [FAULT]
  "$build/tools/tamlo-sim" --firmware "$2" ${3:+--fault "$3"} --link "$work/$1" \
    >"$work/$1.log" 2>&1 &
  pids+=($!)
}
sim gen1 1.75; sim gen2 1.90; sim gen3 2.05; sim silent 2.05 silent; sim pulled 2.05 unplug:3
for name in gen1 gen2 gen3 silent pulled; do
  for _ in $(seq 50); do [[ -e $work/$name ]] && break; sleep 0.1; done
done
mkdir -p "$work/config/tamlo"
for name in gen1 gen2 gen3 silent pulled; do echo "$name = \"$work/$name\""; done \
  >"$work/config/tamlo/ports.toml"
export XDG_CONFIG_HOME="$work/config"

port=$((20000 + RANDOM % 20000))
"$build/tamlo" serve \
  -p gen1 -p gen2 -p gen3 -p silent -p pulled --listen "127.0.0.1:$port" \
  >"$work/serve.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do curl -sf "http://127.0.0.1:$port/metrics" >/dev/null && break; sleep 0.2; done

prom=$((port + 1))
cat >"$work/prometheus.yml" <<YML
global: {scrape_interval: 1s, scrape_timeout: 900ms}
scrape_configs:
  - job_name: tamlo
    static_configs: [{targets: ["127.0.0.1:$port"]}]
YML
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
  --web.listen-address="127.0.0.1:$prom" >"$work/prometheus.log" 2>&1 &
pids+=($!)

query() { curl -sf "http://127.0.0.1:$prom/api/v1/query" --data-urlencode "query=$1"; }
# The ports a query's result names, sorted, one a line.
ports_of() { query "$1" | jq -r '.data.result[].metric.port' | sort | tr '\n' ' '; }
want() {  # QUERY EXPECTED-PORTS
  local got=""
  for _ in $(seq 60); do
    got=$(ports_of "$1" 2>/dev/null || true)
    [[ $got == "$2" ]] && return 0
    sleep 0.5
  done
  fail "$1: ports '$got', expected '$2'"
}
want 'tamlo_rssi' 'gen1 gen2 gen3 '
want 'tamlo_up == 0' 'pulled silent '
want 'tamlo_channel_frequency_hertz{channel="1"} > 130e6 and on(port) tamlo_up == 1' 'gen1 gen2 gen3 '

# apply against a watched port: it waits for the service's poll, then writes.
printf '[settings]\nthreshold = 52\n' >"$work/change.toml"
"$build/tamlo" apply "$work/change.toml" -p gen3 \
  >"$work/apply.log" 2>&1 || { cat "$work/apply.log" >&2; fail "apply to a watched port failed"; }
# A port the service found held is read whole once it answers again.
want 'tamlo_threshold{port="gen3"} == 52' 'gen3 '
echo "prometheus-e2e: 1 passed, 0 failed"
