#!/usr/bin/env bash
# The headless demo: downloads the simulated instrument's archive with velda9-cli and prints its first rows
# as an aligned table. Uses only what every Debian system has (bash, coreutils, sed, awk), so it runs on a
# minimal machine too. Usage: scripts/headless-demo.sh BIN_DIR [ROWS]
set -euo pipefail
bin=${1:?usage: headless-demo.sh BIN_DIR [ROWS]}
rows=${2:-25}
out=$(mktemp -d)/demo.vd
"$bin/velda9-cli" read --simulate -o "$out"
# Each column is padded to its widest cell among the rows shown, counted in characters: UTF-8
# continuation bytes take no width. awk reads the dump to its end, so under pipefail the writer never
# meets a closed pipe.
"$bin/velda9-cli" dump "$out" | LC_ALL=C awk -F '\t' -v rows="$rows" -v file="$out" '
    function width(text, rest) {
        rest = text
        return length(text) - gsub(/[\200-\277]/, "", rest)
    }
    NR <= rows {
        fields[NR] = NF
        for (i = 1; i <= NF; i++) {
            cell[NR, i] = $i
            if (width($i) > widest[i]) widest[i] = width($i)
        }
    }
    END {
        shown = NR < rows ? NR : rows
        for (r = 1; r <= shown; r++) {
            line = ""
            for (i = 1; i <= fields[r]; i++) {
                line = line cell[r, i]
                if (i < fields[r]) line = line sprintf("%*s", widest[i] - width(cell[r, i]) + 2, "")
            }
            print line
        }
        printf "... %d records in %s\n", NR - 1, file > "/dev/stderr"
    }'
