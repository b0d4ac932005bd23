# Sourced by the scripts that need PostgreSQL: a throwaway cluster of their
# own (initdb in a temporary directory, a free port on 127.0.0.1, collation C,
# trust authentication for the user "mag"), stopped and removed when the
# script ends. Sets $pg_url to the cluster without a database name
# ("postgresql://mag@127.0.0.1:PORT"); append "/DATABASE".
start_pg_cluster() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  [ -x "$bin/initdb" ] || { echo "PostgreSQL is not installed (scripts/setup installs it)" >&2; return 1; }
  pg_dir=$(mktemp -d /tmp/mag-pg.XXXXXX)
  chmod 755 "$pg_dir"
  # initdb refuses to run as root: the cluster then belongs to "postgres".
  pg_as=()
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres "$pg_dir"
    pg_as=(runuser -u postgres --)
  fi
  "${pg_as[@]}" "$bin/initdb" -D "$pg_dir/data" -U mag --auth=trust --encoding=UTF8 --locale=C >/dev/null
  # A free port: another program may hold the one drawn, so draw again.
  local tries
  for tries in $(seq 20); do
    pg_port=$((20000 + RANDOM % 40000))
    "${pg_as[@]}" "$bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/log" -w -o \
      "-p $pg_port -k $pg_dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c max_connections=300" \
      start >/dev/null && break
    pg_port=""
  done
  [ -n "$pg_port" ] || { echo "PostgreSQL did not start:" >&2; cat "$pg_dir/log" >&2; return 1; }
  pg_bin=$bin
  pg_url="postgresql://mag@127.0.0.1:$pg_port"
  trap stop_pg_cluster EXIT
}

stop_pg_cluster() {
  [ -n "${pg_dir:-}" ] || return 0
  "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$pg_dir"
  pg_dir=""
}
