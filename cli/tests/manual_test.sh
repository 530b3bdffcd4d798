#!/bin/bash
# The manual page and the bash completion against the built program: every
# subcommand and option that --help shows is described in the page and offered
# by the completion, the --kanji values too, and the page renders without a
# warning at usual terminal widths.
# Usage: manual_test.sh OSTREVIN_CLI MANUAL_PAGE COMPLETION
set -u
cli=$1
page=$2
completion=$3
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The option names of one --help text ("-y,--yes TEXT ..." gives -y and --yes).
options_of() {
  "$cli" "$@" --help | awk '
    /^[A-Za-z]+:$/ { section = $0; next }
    section == "Options:" && /^  -/ { n = split($1, names, ","); for (i = 1; i <= n; i++) print names[i] }'
}

# What the completion offers after "ostrevin-cli WORDS...", the last word
# being the one completed.
complete_words() {
  (
    # shellcheck source=/dev/null
    source "$completion"
    COMP_WORDS=(ostrevin-cli "$@")
    COMP_CWORD=$#
    _ostrevin_cli
    printf '%s\n' "${COMPREPLY[@]}"
  )
}

subcommands=$("$cli" --help | awk '/^[A-Za-z]+:$/ { section = $0; next }
  section == "Subcommands:" && /^  [a-z]/ { print $1 }')
[ -n "$subcommands" ] || fail "no subcommands found in --help"

offered=$(complete_words "")
for sub in $subcommands; do
  grep -qx -- "$sub" <<<"$offered" || fail "completion does not offer subcommand $sub"
  grep -q "^\.SS $sub\$" "$page" || fail "manual page has no section for $sub"
done

for sub in "" $subcommands; do
  options=$(options_of $sub)
  [ -n "$options" ] || fail "no options found in '$sub --help'"
  offered=$(complete_words $sub -)
  for option in $options; do
    grep -qx -- "$option" <<<"$offered" || fail "completion of '$sub' does not offer $option"
    # In roff source every "-" of an option is written "\-"; the option must
    # stand alone, not inside a longer one (-y inside --yes).
    roff=${option//-/\\-}
    grep -qP -- "(?<!\\\\-)\\Q$roff\\E(?![A-Za-z0-9\\\\])" "$page" ||
      fail "manual page does not describe $option"
  done
done

# And back: nothing offered or described that --help does not show.
all_options=$(for sub in "" $subcommands; do options_of $sub; done | sort -u)
for sub in "" $subcommands; do
  options=$(options_of $sub)
  for option in $(complete_words $sub -); do
    grep -qx -- "$option" <<<"$options" || fail "completion of '$sub' offers $option, which --help does not show"
  done
done
for option in $(grep -v '^\.\\"' "$page" | grep -oP '(?<![\\A-Za-z])\\-\\-[a-z0-9]+(\\-[a-z0-9]+)*' | sort -u); do
  option=${option//\\/}
  grep -qx -- "$option" <<<"$all_options" || fail "manual page describes $option, which no --help shows"
done

kanji=$("$cli" convert --help | sed -n 's/.*--kanji TEXT:{\([^}]*\)}.*/\1/p' | tr ',' ' ')
[ -n "$kanji" ] || fail "no --kanji values found in 'convert --help'"
offered=$(complete_words convert --kanji "")
for value in $kanji; do
  grep -qix -- "$value" <<<"$offered" || fail "completion does not offer --kanji $value"
done

if ! command -v man >/dev/null; then
  echo "man is not installed (tools/deps.sh installs man-db)"
  exit 77
fi
for width in 40 80 160; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=$width timeout 60 man --warnings -l "$page" 2>&1 >/dev/null)
  status=$?
  [ $status -eq 0 ] || fail "man -l ended with status $status at width $width"
  [ -z "$warnings" ] || fail "man -l warns at width $width: $warnings"
done

[ $failures -eq 0 ] || exit 1
echo "manual page and completion cover every subcommand and option"
