#!/usr/bin/env bash
# A real Prometheus scrapes `tamlo serve` in front of simulated receivers of the three
# generations, a silent one and one whose cable comes out; asked through its own query API,
# it has an RSSI for each answering receiver, tamlo_up 0 for the two others and the channels
# in hertz. Headless Chromium shows the page: each receiver's name, firmware, six channels
# and a graph with points; a receiver whose device goes away says so and comes back on its
# own. Then `tamlo apply` takes a watched port and the next scrape shows its new value.
#   tests/serve/e2e.sh BUILD_DIR     (BUILD_DIR holds tamlo and tools/tamlo-sim)
# With SCREENSHOTS=DIR the page is kept there as seen at a desk and on a phone.
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
fail() { echo "serve-e2e: $*" >&2; exit 1; }
for tool in prometheus chromium curl jq; do
  command -v $tool >/dev/null || fail "$tool is not installed (Debian's $tool)"
done

declare -A sim_pid
sim() {  # NAME FIRMWARE [FAULT]
  "$build/tools/tamlo-sim" --firmware "$2" ${3:+--fault "$3"} --link "$work/$1" \
    >>"$work/$1.log" 2>&1 &
  pids+=($!)
  sim_pid[$1]=$!
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
grep -qF 'silent: no answer from the receiver' "$work/serve.log" ||
  fail "the service did not name the port that does not answer: $(cat "$work/serve.log")"
# A second service started on the same address by mistake fails rather than share it.
second=$(timeout 10 "$build/tamlo" serve -p gen1 --listen "127.0.0.1:$port" 2>&1) &&
  fail "a second service on the same address started"
[[ $second == *"in use by another program"* ]] || fail "a second service: $second"

# The examples of docs/fleet.md, read from there: its alert rules and its question to a box.
block() {  # the fenced block of docs/fleet.md that holds TEXT
  awk -v text="$1" '/^```(yaml|sh)$/ { block = ""; inside = 1; next }
    /^```$/ && inside { if (index(block, text)) { printf "%s", block; exit } inside = 0; next }
    inside { block = block $0 "\n" }' "$repo/docs/fleet.md"
}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
block 'alert: ReceiverSilent' >"$work/rules.yml"
block '/api/receivers' | sed "s/mast-box-1:9723/127.0.0.1:$port/" >"$work/ask.sh"
[[ -s $work/rules.yml && -s $work/ask.sh ]] || fail "docs/fleet.md has no rules or question"
asked=$(bash "$work/ask.sh")
[[ $asked == *"silent: no answer (no reply)"* ]] || fail "the question of docs/fleet.md: $asked"

prom=$((port + 1))
cat >"$work/prometheus.yml" <<YML
global: {scrape_interval: 1s, scrape_timeout: 900ms, evaluation_interval: 1s}
rule_files: ["$work/rules.yml"]
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
want 'ALERTS{alertname="ReceiverSilent"}' 'pulled silent '
want 'tamlo_channel_frequency_hertz{channel="1"} > 130e6 and on(port) tamlo_up == 1' 'gen1 gen2 gen3 '

# The page, as Chromium has built it after a few seconds of its own script.
page() {  # the DOM, one receiver's card a line
  chromium --headless=new --no-sandbox --disable-gpu --virtual-time-budget=5000 \
    --dump-dom "http://127.0.0.1:$port/" 2>>"$work/chromium.log" | tr -d '\n' |
    sed 's/<section/\n&/g'
}
card() { grep -F "data-port=\"$1\"" <<<"$dom" || fail "the page has no receiver $1"; }
count() { { grep -oE "$1" || true; } | wc -l; }  # PATTERN: how often it is in the input
dom=$(page)
for name in gen1:1.75 gen2:1.90 gen3:2.05; do
  c=$(card "${name%:*}")
  grep -qF '<td class="value">'"${name#*:}"' (generation' <<<"$c" || fail "$name: no firmware"
  channels=$(count '<td class="value">13[0-9]\.[0-9]{3} MHz</td>' <<<"$c")
  [[ $channels == 6 ]] || fail "${name%:*}: $channels channels shown"
  curves=$(grep -oE '<polyline points="[^"]*"' <<<"$c" || true)
  points=$(count '[0-9.]+,[0-9.]+' <<<"$curves")
  ((points >= 2)) || fail "${name%:*}: the graph has $points points"
done
grep -qF '<span class="state down">no answer</span>' <<<"$(card silent)" || fail "silent answers"
if [[ -n ${SCREENSHOTS:-} ]]; then
  for shot in serve-page:1280,900 serve-page-phone:390,1400; do
    chromium --headless=new --no-sandbox --disable-gpu --hide-scrollbars \
      --virtual-time-budget=5000 --window-size="${shot#*:}" \
      --screenshot="$SCREENSHOTS/${shot%:*}.png" "http://127.0.0.1:$port/" 2>>"$work/chromium.log"
  done
fi

# The device goes away: no answer, and why; it comes back on its own when the device does.
kill "${sim_pid[gen1]}"
want 'tamlo_up == 0' 'gen1 pulled silent '
dom=$(page)
grep -qF '<p class="reason">the port does not open' <<<"$(card gen1)" || fail "gen1: no reason"
sim gen1 1.75
want 'tamlo_up == 0' 'pulled silent '

# apply against a watched port: it waits for the service's poll, then writes.
printf '[settings]\nthreshold = 52\n' >"$work/change.toml"
"$build/tamlo" apply "$work/change.toml" -p gen3 \
  >"$work/apply.log" 2>&1 || { cat "$work/apply.log" >&2; fail "apply to a watched port failed"; }
# A port the service found held is read whole once it answers again.
want 'tamlo_threshold{port="gen3"} == 52' 'gen3 '
echo "serve-e2e: passed"
