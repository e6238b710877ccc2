# Shell functions that run a throwaway PostgreSQL server on a Unix socket in a
# folder of its own. Sourced by scripts/test and scripts/pg-local.
#
# The server listens on no TCP address; the port only names its socket file.
# initdb refuses to run as root, so as root the server runs as the `postgres`
# system user, which must be able to enter the folder.

pg_bin_dir() {
  local dir
  for dir in /usr/lib/postgresql/*/bin; do
    if [ -x "$dir/initdb" ]; then echo "$dir"; return 0; fi
  done
  return 1
}

# Runs a command as the server's owner.
pg_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# A port whose socket name is not taken by a local server.
pg_free_port() {
  local port
  for port in $(seq 5433 5533); do
    if [ ! -e "/tmp/.s.PGSQL.$port" ] && ! ss -ltnH "sport = :$port" 2>/dev/null | grep -q .; then
      echo "$port"; return 0
    fi
  done
  return 1
}

# The settings that copy every finished write-ahead log segment into
# DIR/archive, for a base backup to be rolled forward to any moment after it.
# A segment is copied under a temporary name, put on disk and only then
# given its own name, and one already there is never overwritten; the server
# makes it readable by its owner only. archive_timeout: a quiet database
# still has its last minute's writes archived.
pg_archive_settings() {
  local archive="$1/archive"
  cat <<EOF
wal_level = replica
archive_mode = on
archive_timeout = 60
archive_command = 'test ! -f "$archive/%f" && cp %p "$archive/%f.part" && sync "$archive/%f.part" && mv "$archive/%f.part" "$archive/%f" && sync "$archive"'
EOF
}

# Who may connect, over the socket only: the server's superuser `postgres`
# (the administrator's and the tests' seeding hand) without a password; every
# other role, clerks included, with its password checked by SCRAM, so a wrong
# password is refused for real.
pg_login_rules() {
  cat <<'EOF'
local all         postgres trust
local all         all      scram-sha-256
local replication postgres trust
EOF
}

# pg_start DIR PORT [throwaway|archive]: creates a cluster in DIR/data and
# starts it with its socket in DIR. Prints the reason and answers non-zero
# when it cannot. A server anyone may try keeps every write on disk; a
# throwaway one (the test runs) does not, and keeps the legacy string rules
# some sites still have (a backslash escapes in a quoted text), so every
# suite shows that the module does not depend on the server's default. An
# archiving one keeps every write and archives its write-ahead log into
# DIR/archive (pg_archive_settings).
pg_start() {
  local dir="$1" port="$2" mode="${3:-}" bin settings=""
  if [ "$mode" = throwaway ]; then
    settings="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
    settings="$settings -c standard_conforming_strings=off -c backslash_quote=on"
  fi
  if ! bin="$(pg_bin_dir)"; then
    echo "PostgreSQL server programs (initdb, pg_ctl) not found: install the postgresql package" >&2
    return 1
  fi
  if [ "$(id -u)" -eq 0 ]; then
    if ! id postgres >/dev/null 2>&1; then
      echo "running as root, but there is no postgres system user to own the server" >&2
      return 1
    fi
    chown postgres "$dir"
  fi
  chmod 700 "$dir"
  if [ ! -d "$dir/data" ]; then
    if ! pg_as_owner "$bin/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 \
        --locale=C.UTF-8 >"$dir/initdb.log" 2>&1; then
      echo "initdb failed:" >&2; cat "$dir/initdb.log" >&2
      return 1
    fi
    pg_login_rules >"$dir/data/pg_hba.conf"
    if [ "$mode" = archive ]; then
      mkdir -p "$dir/archive"
      chmod 700 "$dir/archive"
      [ "$(id -u)" -ne 0 ] || chown postgres "$dir/archive"
      pg_archive_settings "$dir" >>"$dir/data/postgresql.conf"
    fi
  fi
  if ! pg_as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-k $dir -p $port -c listen_addresses= -c max_connections=200 $settings" \
      start >"$dir/pg_ctl.log" 2>&1; then
    echo "the PostgreSQL server did not start:" >&2
    cat "$dir/pg_ctl.log" "$dir/server.log" >&2 2>/dev/null
    return 1
  fi
}

# pg_stop DIR: stops the server of DIR at once, if it runs.
pg_stop() {
  local dir="$1" bin
  bin="$(pg_bin_dir)" || return 0
  if [ -f "$dir/data/postmaster.pid" ]; then
    pg_as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
}

# The connection string of the server's template database for the tests.
pg_test_url() {
  local dir="$1" port="$2"
  echo "postgresql://postgres@/otherin_template?host=$dir&port=$port"
}
