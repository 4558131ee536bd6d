#!/usr/bin/env bash
# Every include of the engine points down the floors util <- db <- schema <- ddl / export <-
# transfer <- verify <- report <- app; a folder may include its own headers and those of lower
# floors only.
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}
declare -A floor=([util]=0 [db]=1 [schema]=2 [ddl]=3 [export]=3 [transfer]=4 [verify]=5 [report]=6 [app]=7)
bad=0
for dir in "${!floor[@]}"; do
    for file in "$src/$dir"/*; do
        [ -f "$file" ] || continue
        while IFS= read -r target; do
            [ -n "${floor[$target]+x}" ] || continue
            if [ "$target" != "$dir" ] && [ "${floor[$target]}" -ge "${floor[$dir]}" ]; then
                echo "layers: $dir/$(basename "$file") includes $target/"
                bad=1
            fi
        done < <(sed -n 's|^#include "\([a-z_]*\)/.*|\1|p' "$file")
    done
done
exit $bad
