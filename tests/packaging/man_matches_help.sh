#!/usr/bin/env bash
# A man page says what the program's --help says, line by line:
#   man_matches_help.sh PAGE.1.gz PROGRAM [COMPLETION]
# Every line of PROGRAM --help must appear in the rendered page (spacing and
# line breaks aside); with COMPLETION, whose parser lists the commands, so
# must every line of each command's --help. A page made from an older program,
# or a generator that drops a section, fails here.
set -euo pipefail
page=$1 program=$2 completion=${3:-}

# One long line, single-spaced: the page's layout is not the help's.
flatten() { tr -s ' \t\n' '   '; }
text=$(MANWIDTH=4000 LC_ALL=C.UTF-8 man --nh --nj -E UTF-8 -l "$page" | flatten)
[ -n "$text" ] || { echo "FAIL: $page renders to nothing"; exit 1; }

flat_page=$(mktemp)
trap 'rm -f "$flat_page"' EXIT
printf '%s\n' "$text" >"$flat_page"  # one line

checked=0 missing=0
check_help() {
  local result
  # help2man moves the usage line to SYNOPSIS without its "Usage:".
  result=$("$@" --help | awk -v page="$flat_page" -v who="$*" -v name="$page" '
    BEGIN { getline text < page }
    {
      flat = $0
      sub(/^[ \t]*[Uu]sage:[ \t]*/, "", flat)
      gsub(/[ \t]+/, " ", flat); sub(/^ /, "", flat); sub(/ $/, "", flat)
      if (flat == "") next
      checked++
      if (index(text, flat) == 0) { missing++; print "FAIL: \047" who "\047 --help line missing from " name ": " $0 > "/dev/stderr" }
    }
    END { print checked + 0, missing + 0 }')
  checked=$((checked + ${result% *}))
  missing=$((missing + ${result#* }))
}

check_help "$program"
commands=0
if [ -n "$completion" ]; then
  # shellcheck source=/dev/null
  source "$completion"
  while IFS= read -r command; do
    read -r -a words <<<"$command"
    check_help "$program" "${words[@]}"
    commands=$((commands + 1))
  done < <(_kolmarasetting_cli_commands_of < <("$program" --help))
  [ "$commands" -gt 0 ] || { echo "FAIL: no commands found in $program --help"; exit 1; }
fi
# The version line help2man takes from --version.
version=$("$program" --version | head -n1)
if [[ $text != *"$version"* ]]; then
  echo "FAIL: $page does not carry '$version'"
  missing=$((missing + 1))
fi

echo "$page: $checked help lines of $program and $commands commands checked, $missing missing"
[ "$missing" -eq 0 ]
