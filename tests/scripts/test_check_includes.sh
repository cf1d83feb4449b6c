#!/usr/bin/env bash
# The include check passes on the project and fails on upward includes and on Qt in core.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
check="$top/scripts/check_includes.py"

python3 "$check" "$top"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/configuration" "$tree/session" "$tree/parser" "$tree/app" "$tree/gui"
echo '#pragma once' > "$tree/app/startup.h"
echo '#include "configuration/record.h"' > "$tree/session/session.h"
echo '#include "session/session.h"' > "$tree/parser/analysis.h"
echo '#include "app/startup.h"' > "$tree/gui/window.cpp"
echo '#include <QString>' >> "$tree/gui/window.cpp"
echo '#pragma once' > "$tree/configuration/record.h"
python3 "$check" "$tree"  # every include runs downward, and Qt stays in the front end

expect_fault() {  # FILE LINE: adding LINE to FILE must fail the check
    cp "$tree/$1" "$tree/$1.kept"
    echo "$2" >> "$tree/$1"
    if python3 "$check" "$tree" 2>/dev/null; then
        echo "not caught: $2 in $1" >&2
        exit 1
    fi
    mv "$tree/$1.kept" "$tree/$1"
}
expect_fault configuration/record.h '#include "parser/analysis.h"'  # data -> step
expect_fault configuration/record.h '#include "session/session.h"'  # data -> session
expect_fault parser/analysis.h '#include "app/startup.h"'           # step -> app
expect_fault session/session.h '#include "conversion/runner.h"'     # session -> runner
expect_fault parser/analysis.h '#include <QObject>'                 # Qt in core
expect_fault app/startup.h '#include <QtCore/QString>'              # Qt in core
python3 "$check" "$tree"  # and the tree is clean again
echo "include check: ok"
