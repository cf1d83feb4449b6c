#!/usr/bin/env bash
# cmake --install puts both programs, the desktop entry (valid), the icon and the documents in
# their standard places under the prefix.
#   test_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/quelvor bin/quelvor-cli bin/quelvor-gather-jobs share/applications/quelvor.desktop \
            share/icons/hicolor/scalable/apps/quelvor.svg share/doc/quelvor/README.md; do
    [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
[ -x "$prefix/bin/quelvor" ] || { echo "bin/quelvor is not executable"; exit 1; }
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/quelvor.desktop"
else
    echo "desktop-file-validate not found (package desktop-file-utils): entry not validated"
fi
echo "installed and valid"
