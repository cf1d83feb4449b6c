#!/usr/bin/env bash
# The GNU parallel recipe of docs/scale.md on a shared file system, with 2 local slots over 200
# small files: every output equals that of one serial run, and the gathered JSON lines account
# for every job exactly once.
#   test_parallel_recipe.sh QUELVOR_CLI GATHER_SCRIPT
set -euo pipefail
cli=$(realpath "$1")
gather=$(realpath "$2")
command -v parallel >/dev/null || { echo "GNU parallel not found (package parallel; scripts/setup.sh test)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir recordings
python3 - <<'PY'
import math, struct
for k in range(200):
    pairs = 1000 + 37 * k
    with open(f"recordings/rec{k:03d}.bin", "wb") as out:
        out.write(b"".join(struct.pack("<hh", int(8000 * math.sin(0.01 * (k + 1) * j)) + (j * k) % 17,
                                       int(8000 * math.cos(0.01 * (k + 1) * j))) for j in range(pairs)))
PY
"$cli" --config-dir campaign config save lab \
    --set headerSource=User --set headerValue=0 --set trailerSource=User --set trailerValue=0 \
    --set commentSource=User --set commentBegin=campaign \
    --set samplerateSource=User --set samplerateValue=10 2>/dev/null
ls recordings/*.bin > inputs.txt
mkdir serial converted

# One serial run of all files, then the recipe.
"$cli" convert --json --quiet --config campaign/lab.pnx --output-dir serial $(cat inputs.txt) > serial.jsonl 2>/dev/null
parallel -S 2/: --wd . \
    "$cli" convert --json --quiet --config campaign/lab.pnx --output-dir converted {} \
    :::: inputs.txt > results.jsonl 2>/dev/null

for output in serial/*.wv; do
    cmp -s "$output" "converted/${output#serial/}" || { echo "differs from the serial run: ${output#serial/}"; exit 1; }
done
[ "$(ls converted | wc -l)" -eq 200 ] || { echo "expected 200 outputs, found $(ls converted | wc -l)"; exit 1; }

python3 "$gather" --expect inputs.txt results.jsonl > summary.json
python3 - <<'PY'
import json, sys
summary = json.load(open("summary.json"))
serial = [json.loads(line) for line in open("serial.jsonl")]
assert summary["jobs"] == 200 and summary["statuses"] == {"Status: Done": 200}, summary
assert summary["convertedSamples"] == sum(int(job["convertedSamples"]) for job in serial), summary
PY

# The summary catches a task that ran twice and one that never reported.
head -n 1 results.jsonl >> results.jsonl
if python3 "$gather" --expect inputs.txt results.jsonl > twice.json; then echo "a repeated job went unnoticed"; exit 1; fi
grep -q '"repeated": \[$' twice.json
sed -i '2d' results.jsonl
if python3 "$gather" --expect inputs.txt results.jsonl > lost.json; then echo "a missing job went unnoticed"; exit 1; fi
python3 -c 'import json, sys; assert len(json.load(open("lost.json"))["missing"]) == 1'
echo "200 jobs through GNU parallel, each once and equal to the serial run"
