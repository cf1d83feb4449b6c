#!/usr/bin/env bash
# Runs the main job on the bundled example: quelvor-cli [path given as $1].
set -euo pipefail
cli=${1:-quelvor-cli}
"$cli" --version
"$cli" --help
