# Sourced by the scripts that need the demo server: creates a fresh demo
# database in $work, starts mag-server on a free loopback port with the output
# directory $work/saida, sets $port and stops the server when the script ends.
start_demo_server() {
  mkdir -p "$work/saida"
  rm -f "$work"/demo.db*
  "$bin/mag-server" --migrate-only --init-demo --database "sqlite:$work/demo.db" 2>/dev/null
  "$bin/mag-server" --database "sqlite:$work/demo.db" --port 0 --output-dir "$work/saida" \
    >"$work/server.out" 2>"$work/server.err" &
  server=$!
  trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
  for _ in $(seq 50); do grep -q listening "$work/server.out" 2>/dev/null && break; sleep 0.1; done
  port=$(grep -o '[0-9]*$' "$work/server.out")
  echo "mag-server on 127.0.0.1:$port (database $work/demo.db)"
}
