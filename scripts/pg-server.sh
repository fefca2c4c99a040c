# Sourced by the test command: pg_start starts a private PostgreSQL server
# (its own data folder in a temporary directory, a free port on 127.0.0.1, run
# as the postgres user when started by root) and exports CORVALEN_TEST_PG_CONN,
# an ODBC connection string for it (PostgreSQL Unicode driver), and
# CORVALEN_TEST_PG_PORT; pg_stop stops it and removes the folder.
#
# Without PostgreSQL installed, pg_start says so and returns 0: the database
# tests then skip. A server that is installed but does not start is an error
# (the logs are shown).

# A port on 127.0.0.1 that nothing listens on right now.
_pg_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' \
    2>/dev/null || echo $((20000 + RANDOM % 20000))
}

# Runs a command as the server's user, from a folder that user can read.
_pg_run() {
  if [ "$(id -u)" -eq 0 ]; then
    (cd "$PG_DIR" && runuser -u postgres -- "$@")
  else
    (cd "$PG_DIR" && "$@")
  fi
}

pg_start() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  if [ -z "$bin" ]; then
    echo "PostgreSQL is not installed; database tests will be skipped" >&2
    return 0
  fi
  PG_BIN=$bin
  PG_DIR=$(mktemp -d /tmp/corvalen-pg.XXXXXX)
  chmod 700 "$PG_DIR"
  [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$PG_DIR"
  # UTF-8 and the C locale whatever the caller's environment says.
  if ! _pg_run "$bin/initdb" -D "$PG_DIR/data" -A trust -U postgres -E UTF8 --locale=C \
      >"$PG_DIR/initdb.log" 2>&1; then
    echo "initdb failed:" >&2
    cat "$PG_DIR/initdb.log" >&2
    pg_stop
    return 1
  fi
  # The port is free when chosen but may be taken before the server binds it:
  # try a few.
  local attempt
  for attempt in 1 2 3 4 5; do
    PG_PORT=$(_pg_free_port)
    if _pg_run "$bin/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w -t 30 \
        -o "-p $PG_PORT -k $PG_DIR -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null; then
      # CommLog and Debug off: the driver would leave a log file per process in /tmp.
      export CORVALEN_TEST_PG_CONN="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PG_PORT;Database=postgres;Uid=postgres;Pwd=;CommLog=0;Debug=0;"
      export CORVALEN_TEST_PG_PORT=$PG_PORT
      echo "PostgreSQL test server on 127.0.0.1:$PG_PORT"
      return 0
    fi
  done
  echo "the PostgreSQL test server did not start:" >&2
  cat "$PG_DIR/server.log" >&2
  pg_stop
  return 1
}

pg_stop() {
  [ -n "${PG_DIR:-}" ] || return 0
  if [ -f "$PG_DIR/data/postmaster.pid" ]; then
    _pg_run "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$PG_DIR"
  PG_DIR=
  unset CORVALEN_TEST_PG_CONN CORVALEN_TEST_PG_PORT
}
