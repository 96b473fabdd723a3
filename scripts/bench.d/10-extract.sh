#!/usr/bin/env bash
# Extracting a 200 MB audio payload from a QuickTime movie, against `cp` of a
# file of the same size, side by side in one hyperfine run (warm cache).
# Target: the extraction takes no more than 1.3 times as long as cp.
set -euo pipefail
work="$BENCH_WORK/extract"
mkdir -p "$work"
bin="$RIPWELL_BUILD_DIR/tools/bench/ripwell-bench-extract"
movie="$work/movie.mov"
plain="$work/plain.bin"
payload=$((200 * 1024 * 1024))
if [ ! -f "$movie" ] || [ "$(stat -c %s "$movie")" -ne $((payload + 8 + 24)) ]; then
  python3 - "$movie" "$plain" "$payload" <<'PY'
import os, struct, sys
movie, plain, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
block = os.urandom(1 << 20)
with open(movie, "wb") as m, open(plain, "wb") as p:
    m.write(struct.pack(">I", 24) + b"ftyp" + b"qt  " + b"\0" * 12)
    m.write(struct.pack(">I", n + 8) + b"mdat")
    for _ in range(n >> 20):
        m.write(block)
        p.write(block)
PY
fi
json="$work/result.json"
hyperfine --style basic --warmup 2 --runs 10 --export-json "$json" \
  -n extract "$bin $movie $work/out.mp3" \
  -n cp "cp $plain $work/copy.bin" >/dev/null
python3 - "$json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
e, c = r["extract"]["median"], r["cp"]["median"]
ratio = e / c
print(f"extract 200 MB payload: {e*1000:.0f} ms   cp 200 MB: {c*1000:.0f} ms   ratio {ratio:.2f}x (target <= 1.3x) "
      + ("OK" if ratio <= 1.3 else "MISSED"))
PY
cmp -s "$work/out.mp3" "$plain" || { echo "extracted payload differs from the source bytes"; exit 1; }
rm -f "$work/out.mp3" "$work/copy.bin"
