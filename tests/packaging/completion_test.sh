#!/usr/bin/env bash
# The bash completion of kolmarasetting-cli against the real program:
#   completion_test.sh COMPLETION PROGRAM
# Each case is a command line as typed (a trailing space starts a new word)
# and the words completion must offer, exactly ("=" alone: nothing).
set -uo pipefail
completion=$1 program=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/pw.txt" "$work/pw.old"
mkdir "$work/bin"
ln -s "$(cd "$(dirname "$program")" && pwd)/$(basename "$program")" "$work/bin/kolmarasetting-cli"
PATH=$work/bin:$PATH

# shellcheck source=/dev/null
source "$completion"
complete -p kolmarasetting-cli >/dev/null || { echo "FAIL: no completion registered"; exit 1; }

# What --help lists, so new commands are expected without editing this test.
_kolmarasetting_cli_load_help kolmarasetting-cli
mapfile -t listed <<<"${_kolmarasetting_cli_commands[kolmarasetting-cli]}"
first_words=$(printf '%s\n' "${listed[@]}" | awk '{ print $1 }' | sort -u | tr '\n' ' ')
# The commands this client is known to have, so a parser that finds none or
# splits them wrong fails.
for c in "info" "network show" "admin set" "ntp set"; do
  printf '%s\n' "${listed[@]}" | grep -qx "$c" || echo "FAIL: '$c' not parsed from --help"
done

# Read the help texts once here; each case runs in a subshell of this one.
for c in "${listed[@]}"; do
  read -r -a w <<<"$c"
  _kolmarasetting_cli_load_help kolmarasetting-cli "${w[@]}"
done

complete_line() {
  local line=$1
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _kolmarasetting_cli kolmarasetting-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//'
}

passed=0 failed=0
expect() {
  local line=$1 want
  want=$(tr ' ' '\n' <<<"$2" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//')
  local got
  got=$(complete_line "$line")
  if [[ $got == "$want" ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL: [$line] offered '$got', expected '$want'"
    failed=$((failed + 1))
  fi
}

cli=kolmarasetting-cli
expect "$cli " "$first_words"
expect "$cli n" "network ntp"
expect "$cli network " "show"
expect "$cli network show " ""                 # a whole command takes no more words
expect "$cli info " ""
expect "$cli --host 10.0.0.5 w" "wol"          # an option's value is not a command word
expect "$cli --host=10.0.0.5 --id admin v" "viewid"
expect "$cli --timeout " ""                     # a number: nothing to offer
expect "$cli --j" "--json"
expect "$cli admin set --new-" "--new-id --new-password-file"   # the command's own options
expect "$cli info --new-" ""                    # ...which other commands do not have
expect "$cli --password-file $work/pw." "$work/pw.old $work/pw.txt"
expect "$cli admin set --new-password-file $work/pw.t" "$work/pw.txt"
# "--password-file=" splits into the option, "=" and the value.
COMP_WORDS=("$cli" --password-file = "$work/pw.t") COMP_CWORD=3 COMPREPLY=()
_kolmarasetting_cli "$cli"
if [[ "${COMPREPLY[*]}" == "$work/pw.txt" ]]; then passed=$((passed + 1)); else
  echo "FAIL: [--password-file=$work/pw.t] offered '${COMPREPLY[*]}'"; failed=$((failed + 1)); fi

echo "completion: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
