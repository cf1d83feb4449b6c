#!/usr/bin/env bash
# Converts the bundled examples with quelvor-cli and shows the results.
#   examples/run.sh [path/to/quelvor-cli] [output directory]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli=${1:-quelvor-cli}
out=${2:-$here/../build/examples-output}
mkdir -p "$out"

echo "== A combined 16-bit file whose text header holds a comment and the sample rate"
"$cli" --config-dir "$here" convert --config tone16 --output-dir "$out" --json "$here/tone16.bin"
echo "   header of $out/tone16.bin.wv:"
head -c 160 "$out/tone16.bin.wv" | tr -c '[:print:]' '.'
echo

echo "== Separate I and Q text files"
"$cli" --config-dir "$here" convert --config separate-text --output-dir "$out" --json \
    "$here/separate_i.txt" "$here/separate_q.txt"
echo "   header of $out/separate_i.txt.wv:"
head -c 130 "$out/separate_i.txt.wv" | tr -c '[:print:]' '.'
echo

echo "== Files that describe themselves, converted with no configuration at all"
echo "   (made by examples/make_sdr_examples.py: an 8-bit capture with its rate in the name, a SigMF recording)"
"$cli" --config-dir "$out" detect "$here/capture_433.92M_250k.cu8" "$here/tone.sigmf-meta"
"$cli" --config-dir "$out" convert --output-dir "$out" --json "$here/capture_433.92M_250k.cu8" "$here/tone.sigmf-meta"
echo "   header of $out/capture_433.92M_250k.cu8.wv:"
head -c 140 "$out/capture_433.92M_250k.cu8.wv" | tr -c '[:print:]' '.'
echo
