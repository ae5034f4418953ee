# bash completion for kolmarasetting-cli
#
# The commands and options are read from the program's own --help (the
# overview lists the commands, "COMMAND --help" a command's options), so a
# command added to the client completes without a change here. The man page
# generator reads the command list with the same function.

# The command words of an overview help text, one command a line, such as
# "network show". The commands are the indented lines under "Commands:"; a
# command ends at its first word that is not lower-case (an option or a
# placeholder) or at the gap before its description.
_kolmarasetting_cli_commands_of() {
  awk '
    /^Commands:/ { inside = 1; next }
    inside && !/^[ \t]/ { inside = 0 }
    inside {
      line = $0
      sub(/^[ \t]+/, "", line)
      sub(/[ \t][ \t].*$/, "", line)
      n = split(line, w, " ")
      out = ""
      for (i = 1; i <= n; i++) {
        if (w[i] !~ /^[a-z][a-z0-9-]*$/) break
        out = out (out == "" ? "" : " ") w[i]
      }
      if (out != "") print out
    }'
}

# The options of a help text, one a line: the name, then "FILE" when its
# value is a file name or "VALUE" when it takes another value. They come from
# the option lines (indented, starting with "--"; only the option column
# before a wide gap counts) and from the Usage line.
_kolmarasetting_cli_options_of() {
  awk '
    function take(s,   name) {
      while (match(s, /--[a-z][a-z0-9-]*/)) {
        name = substr(s, RSTART, RLENGTH)
        s = substr(s, RSTART + RLENGTH)
        kind = ""
        if (s ~ /^[ =][A-Z]/) kind = (s ~ /^[ =][A-Z:\[\]]*FILE/) ? "FILE" : "VALUE"
        if (!(name in seen) || seen[name] == "") seen[name] = kind
      }
    }
    /^[Uu]sage:/ { take($0); next }
    /^[ \t]+--[a-z]/ { line = $0; sub(/^[ \t]+/, "", line); sub(/[ \t][ \t].*$/, "", line); take(line) }
    END { for (n in seen) print (seen[n] == "" ? n : n " " seen[n]) }' | sort
}

# Options and commands by "PROGRAM [COMMAND...]", read from --help once a
# session.
declare -gA _kolmarasetting_cli_options _kolmarasetting_cli_commands
_kolmarasetting_cli_load_help() {
  local key="$*" help
  [[ -n ${_kolmarasetting_cli_options[$key]+set} ]] && return 0
  help=$("$@" --help 2>/dev/null)
  _kolmarasetting_cli_options[$key]=$(_kolmarasetting_cli_options_of <<<"$help")
  _kolmarasetting_cli_commands[$key]=$(_kolmarasetting_cli_commands_of <<<"$help")
}

# The kind ("FILE", "VALUE" or empty) of option $2 in the option list $1.
_kolmarasetting_cli_kind() {
  local name kind
  while read -r name kind; do
    if [[ $name == "$2" ]]; then
      printf '%s' "$kind"
      return 0
    fi
  done <<<"$1"
}

_kolmarasetting_cli() {
  local prog=$1
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # bash splits "--opt=VALUE" at "=" into three words.
  if [[ $cur == "=" ]]; then
    cur=
  elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  _kolmarasetting_cli_load_help "$prog"
  local commands=${_kolmarasetting_cli_commands[$prog]}
  local options=${_kolmarasetting_cli_options[$prog]}

  # The words typed so far that are neither options nor their values.
  local -a words=()
  local i w kind
  for ((i = 1; i < COMP_CWORD; i++)); do
    w=${COMP_WORDS[i]}
    if [[ $w == "=" ]]; then
      ((i++))  # the value after "--opt="
    elif [[ $w == --* ]]; then
      kind=$(_kolmarasetting_cli_kind "$options" "$w")
      [[ -n $kind && ${COMP_WORDS[i + 1]} != "=" ]] && ((i++))
    else
      words+=("$w")
    fi
  done

  # The command those words name, once they name a whole one; its own help
  # adds its options.
  local command= c typed="${words[*]}"
  while IFS= read -r c; do
    [[ -z $c ]] && continue
    if [[ $typed == "$c" || $typed == "$c "* ]]; then command=$c; fi
  done <<<"$commands"
  if [[ -n $command ]]; then
    local -a commandWords
    read -r -a commandWords <<<"$command"
    _kolmarasetting_cli_load_help "$prog" "${commandWords[@]}"
    options+=$'\n'${_kolmarasetting_cli_options[$prog $command]}
  fi

  COMPREPLY=()
  if [[ $prev == --* ]]; then
    kind=$(_kolmarasetting_cli_kind "$options" "$prev")
    if [[ $kind == FILE ]]; then
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return 0
    fi
    [[ -n $kind ]] && return 0  # a value nobody can guess
  fi

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(cut -d' ' -f1 <<<"$options" | sort -u)" -- "$cur")
    return 0
  fi

  # A whole command takes no more command words (its operands are free text).
  [[ -n $command ]] && return 0
  # Else the next word of every command that begins with the words typed.
  local next= n=${#words[@]} match
  local -a cw
  while IFS= read -r c; do
    [[ -z $c ]] && continue
    read -r -a cw <<<"$c"
    ((n < ${#cw[@]})) || continue
    match=1
    for ((i = 0; i < n; i++)); do
      [[ ${words[i]} == "${cw[i]}" ]] || { match=0; break; }
    done
    ((match)) && [[ "$next " != *" ${cw[n]} "* ]] && next+=" ${cw[n]}"
  done <<<"$commands"
  mapfile -t COMPREPLY < <(compgen -W "$next" -- "$cur")
  return 0
}

complete -F _kolmarasetting_cli kolmarasetting-cli
