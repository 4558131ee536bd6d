#!/usr/bin/env bash
# The README's pictures must show the window as the operator sees it: the picture program may
# not size list columns, move a cursor or scroll a field before it saves a picture. Any call of
# that kind in it fails this check (a line may say why it is needed with "shots: allowed").
set -euo pipefail
tool=${1:-$(cd "$(dirname "$0")/../tools" && pwd)/screenshots.cpp}
pattern='resizeColumnToContents|setColumnWidth|resizeSection|resizeSections|setSectionResizeMode|setCursorPosition|moveCursor|setTextCursor|ensureCursorVisible|scrollTo|scrollToItem|ScrollBar\(\)->setValue|setStretchLastSection|->resize\('
found=$(grep -nE "$pattern" "$tool" | grep -v 'shots: allowed' || true)
if [ -n "$found" ]; then
    echo "screenshots: the picture program changes what the window shows:"
    echo "$found"
    exit 1
fi
