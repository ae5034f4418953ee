#!/usr/bin/env bash
# Makes a program's gzipped man page from its --help and --version with
# help2man, so the page cannot say other than the program does:
#   man-page.sh OUTPUT.1.gz PROGRAM "one-line description" DATE [COMPLETION]
# With COMPLETION (the client's bash completion file, whose parser reads the
# command list out of --help), a COMMANDS section adds each command's own
# --help, less the paragraphs it shares with the overview.
set -euo pipefail
out=$1 program=$2 name=$3 date=$4 completion=${5:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# roff text: backslashes and minus signs escaped, no line taken for a request.
roff() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

include=()
if [ -n "$completion" ]; then
  # shellcheck source=kolmarasetting-cli.bash
  source "$completion"
  overview=$("$program" --help)
  printf '%s\n' "$overview" >"$work/overview"
  {
    echo "[COMMANDS]"
    while IFS= read -r command; do
      read -r -a words <<<"$command"
      printf '.SS "%s"\n.nf\n' "$command"
      "$program" "${words[@]}" --help |
        awk -v shared="$work/overview" '
          BEGIN { RS = ""; while ((getline p < shared) > 0) known[p] = 1; RS = "" }
          !($0 in known) { if (n++) print ""; print }' | roff
      printf '.fi\n'
    done < <(_kolmarasetting_cli_commands_of <<<"$overview")
  } >"$work/commands.h2m"
  include=(--include "$work/commands.h2m")
fi

# help2man dates the page from SOURCE_DATE_EPOCH: the release's date, so a
# rebuild makes the same page.
SOURCE_DATE_EPOCH=$(date -u -d "$date" +%s) \
  help2man --no-info --section 1 --name "$name" "${include[@]}" --output "$work/page.1" "$program"
gzip -9n <"$work/page.1" >"$out.tmp"
mv "$out.tmp" "$out"
