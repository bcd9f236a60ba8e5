#!/usr/bin/env bash
# Prints the README's keyboard table from the layout tables, as lumevanta-send lists them:
# one row per PC key, one column per panel, the panel key it presses in each.
#   bash tools/keyboard-table.sh build/dev/bin/lumevanta-send
set -euo pipefail
sender=$1
panels=(BRW721 BRW773 BRW774 BRW776 BRW777)
for panel in "${panels[@]}"; do
  "$sender" --list --model "$panel" | tail -n +2 | sed "s/^/$panel /"
done | awk -v panels="${panels[*]}" '
  # Digits, function keys, arrows, named keys, letters, signs: the order a reader looks for them.
  function rank(key) {
    if (key ~ /^[0-9]$/) return sprintf("0%02d", key == "0" ? 10 : key)
    if (key ~ /^F[0-9]+$/) return sprintf("1%02d", substr(key, 2))
    if (key == "Up") return "200"; if (key == "Down") return "201"
    if (key == "Left") return "202"; if (key == "Right") return "203"
    if (key == "Enter") return "300"; if (key == "Space") return "301"
    if (key == "Esc") return "302"; if (key == "Backspace") return "303"
    if (key ~ /^[A-Z]$/) return "4" key
    return "5" key
  }
  {
    panel = $1; name = $2; line = $0
    sub(/^[^ ]+ +[^ ]+ +[^ ]+ +/, "", line)
    if (line == "none") next
    n = split(line, keys, / or /)
    for (i = 1; i <= n; i++) { seen[keys[i]] = rank(keys[i]); cell[keys[i], panel] = "`" name "`" }
  }
  END {
    count = split(panels, names, " ")
    header = "| PC key |"; rule = "|---|"
    for (p = 1; p <= count; p++) { header = header " " substr(names[p], 4) " |"; rule = rule "---|" }
    print "#0\t" header; print "#1\t" rule
    for (key in seen) {
      row = "| `" key "` |"
      for (p = 1; p <= count; p++) row = row " " cell[key, names[p]] " |"
      print seen[key] "\t" row
    }
  }' | LC_ALL=C sort | cut -f 2-
