# Sourced by the test command: pg_start starts a private PostgreSQL server
# (its own data folder in a temporary directory, a free port on 127.0.0.1, run
# as the postgres user) and exports CORVALEN_TEST_PG_CONN, an ODBC connection
# string for it; pg_stop stops it and removes the folder.

pg_start() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  if [ -z "$bin" ]; then
    echo "PostgreSQL is not installed; database tests will be skipped" >&2
    return 0
  fi
  PG_DIR=$(mktemp -d /tmp/corvalen-pg.XXXXXX)
  PG_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null || echo 54329)
  local as_pg=()
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres:postgres "$PG_DIR"
    as_pg=(runuser -u postgres --)
  fi
  "${as_pg[@]}" "$bin/initdb" -D "$PG_DIR/data" -A trust -U postgres >"$PG_DIR/initdb.log" 2>&1
  "${as_pg[@]}" "$bin/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w -t 30 \
    -o "-p $PG_PORT -k $PG_DIR -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
  PG_BIN=$bin
  export CORVALEN_TEST_PG_CONN="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PG_PORT;Database=postgres;Uid=postgres;Pwd=;"
  export CORVALEN_TEST_PG_PORT=$PG_PORT
  echo "PostgreSQL test server on 127.0.0.1:$PG_PORT"
}

pg_stop() {
  [ -n "${PG_DIR:-}" ] || return 0
  local as_pg=()
  [ "$(id -u)" -eq 0 ] && as_pg=(runuser -u postgres --)
  "${as_pg[@]}" "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$PG_DIR"
  PG_DIR=
}
