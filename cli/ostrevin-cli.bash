# Bash completion for ostrevin-cli: subcommands, each subcommand's options,
# the values of --kanji, folders for --dest and files elsewhere.
# Installed as share/bash-completion/completions/ostrevin-cli.

_ostrevin_cli() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi

  local subcommands="convert detect scan apply"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      convert | detect | scan | apply)
        command=${words[i]}
        break
        ;;
    esac
  done

  local options
  case $command in
    "")
      options="-h --help --version"
      if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
      else
        mapfile -t COMPREPLY < <(compgen -W "$subcommands" -- "$cur")
      fi
      return
      ;;
    convert)
      case $prev in
        --kanji)
          mapfile -t COMPREPLY < <(compgen -W "auto euc jis utf8 off" -- "$cur")
          return
          ;;
        --dest)
          mapfile -t COMPREPLY < <(compgen -d -- "$cur")
          return
          ;;
        --table | --settings)
          mapfile -t COMPREPLY < <(compgen -f -- "$cur")
          return
          ;;
      esac
      options="-h --help --version --dest --keep-tree --kanji --substitute --overwrite
        --no-overwrite --strip-html --no-strip-html --table --no-table --regexp --simple
        --no-output-unchanged --output-unchanged --settings --stdout -n --dry-run -q --quiet
        -y --yes"
      ;;
    detect)
      options="-h --help --version"
      ;;
    scan)
      options="-h --help --version --no-kana --no-special --no-extended --no-user --raw --utf8"
      ;;
    apply)
      options="-h --help --version --groups --count --raw-command"
      ;;
  esac

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}

complete -o filenames -F _ostrevin_cli ostrevin-cli
