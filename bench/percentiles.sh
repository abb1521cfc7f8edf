# Nearest-rank percentiles of the first column of a file ($1): prints "p50 p95 max n", or
# "- - - 0" for an empty file. Sourced by the latency measurements.
percentiles() {
  sort -n "$1" | awk 'function rank(p) { r = p * NR; return r == int(r) ? r : int(r) + 1 }
    { v[NR] = $1 } END { if (NR) print v[rank(0.5)], v[rank(0.95)], v[NR], NR; else print "- - - 0" }'
}
