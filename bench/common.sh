# Shared by bench/startup and bench/connect: the build, a private X server
# and the statistics. Sourced from the repository's root.
source tests/e2e/lib.sh  # fail, start_xvfb, stop_xvfb

BUILD=build/bench

# Other work on a shared machine disturbs the timings less at a higher
# priority, which the X server started later inherits. Equal for every program.
renice -n -10 -p $$ >/dev/null 2>&1 || true

# The release connector and the benchmarks' helpers, in a tree of their own.
build_bench() {
  cmake --preset release -B "$BUILD" -DCONNECTOR_BENCH=ON >/dev/null
  cmake --build "$BUILD" -j2 --target connector probe fltk_floor fake_client >/dev/null
}

# The median of the numbers on standard input, one a line.
median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# column FILE N: the Nth field of every line of FILE.
column() { awk -v n="$2" '{ print $n }' "$1"; }

# ratios A B N: the Nth field of each line of A divided by that of the same
# line of B (the same round).
ratios() { paste -d' ' "$1" "$2" | awk -v n="$3" '{ half = NF / 2; print $n / $(n + half) }'; }

# A game folder with the connector, its game.ini and the stand-in client.
make_game_folder() {
  local game=$1
  mkdir -p "$game"
  cp "$BUILD/connector" "$BUILD/bench/fake_client" "$game/"
  printf '[Connector]\r\nBinName=fake_client\r\nLastIp=127.0.0.1\r\nLastServerName=NAME\r\nLastPort=2597\r\nLastTileSet=0\r\n' \
    >"$game/game.ini"
}

# verdict VALUE LIMIT: "met" when VALUE <= LIMIT.
verdict() { awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l) ? "met" : "NOT met" }'; }
