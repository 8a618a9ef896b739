#!/bin/sh
# The manual page of zelk-cli and its --help texts never disagree:
#  - the SYNOPSIS line of every command is its usage text, word for word;
#  - the commands of the overview are the page's command sections;
#  - the options of each command's usage and option list are the options the
#    page's section for that command lists, and the reverse;
#  - the coordinate-system names are those `zelk-cli systems` prints;
#  - the environment variables are the same.
# usage: check_manpage.sh ZELK_CLI PAGE
set -eu
cli=$1
page=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "MISMATCH: $*" >&2
    failures=$((failures + 1))
}

# The page as plain words: comments dropped, \- as -, font escapes removed.
sed -e '/^\.\\"/d' -e "/^'\\\\\"/d" -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' \
    -e 's/\\(lq/"/g' -e 's/\\(rq/"/g' -e 's/\\e/\\/g' "$page" >"$tmp/page"

squeeze() { tr -s ' \t\n' '   ' | sed -e 's/^ //' -e 's/ $//'; }

# Usage text of a help screen: from "usage:" to the first blank line.
usage_of() {
    awk '/^usage: /{on=1; sub(/^usage: /, "")} on && /^$/{exit} on{print}' | squeeze
}

# One SYNOPSIS entry: the line starting with "zelk-cli WORD" and its
# indented continuation lines.
synopsis_of() {
    awk -v cmd="$1" '
        /^\.SH SYNOPSIS/{on=1; next} on && /^\.SH/{exit}
        on && /^\./{next}
        on && ($0 == "zelk-cli " cmd || index($0, "zelk-cli " cmd " ") == 1) {grab=1; print; next}
        on && grab && /^[ \t]/{print; next}
        {grab=0}' "$tmp/page" | squeeze
}

# The lines of the page's section for one command.
section_of() {
    awk -v head=".SS \"zelk-cli $1\"" '
        $0 == head {on=1; next}
        on && /^\.S[HS]/{exit}
        on{print}' "$tmp/page"
}

options_in() { grep -o -- '--[a-z][a-z-]*' | sort -u; }

"$cli" --help >"$tmp/overview"
commands=$(awk '/^Commands:/{on=1; next} on && /^$/{exit} on{print $1}' "$tmp/overview")
[ -n "$commands" ] || fail "no commands found in zelk-cli --help"
page_commands=$(sed -n 's/^\.SS "zelk-cli \([a-z]*\)"$/\1/p' "$tmp/page")
[ "$(echo "$commands" | sort)" = "$(echo "$page_commands" | sort)" ] ||
    fail "commands of --help ($(echo $commands)) differ from the page's sections ($(echo $page_commands))"

for cmd in $commands; do
    "$cli" "$cmd" --help >"$tmp/help-$cmd"
    usage=$(usage_of <"$tmp/help-$cmd")
    synopsis=$(synopsis_of "$cmd")
    [ "$usage" = "$synopsis" ] ||
        fail "usage of '$cmd': help says '$usage', page says '$synopsis'"

    # Options a command's help offers: those of its usage text and those that
    # start a line of its option list.
    { usage_of <"$tmp/help-$cmd"; grep -E '^ +--' "$tmp/help-$cmd"; } | options_in >"$tmp/help-opts"
    # Options the page's section describes: those of its .TP item lines.
    section_of "$cmd" | awk 'prev == ".TP"{print} {prev=$0}' | options_in >"$tmp/page-opts"
    if ! cmp -s "$tmp/help-opts" "$tmp/page-opts"; then
        fail "options of '$cmd': help has [$(echo $(cat "$tmp/help-opts"))]," \
             "page has [$(echo $(cat "$tmp/page-opts"))]"
    fi
done

# The overview's own usage lines are the whole SYNOPSIS.
overview_usage=$(usage_of <"$tmp/overview")
page_synopsis=$(awk '/^\.SH SYNOPSIS/{on=1; next} on && /^\.SH/{exit} on && !/^\./{print}' \
    "$tmp/page" | squeeze)
[ "$overview_usage" = "$page_synopsis" ] ||
    fail "SYNOPSIS differs from the usage of zelk-cli --help:
  help: $overview_usage
  page: $page_synopsis"

# Options of the overview that belong to no command: --help and --version.
for opt in $(usage_of <"$tmp/overview" | options_in); do
    grep -q -- "$opt" "$tmp/page" || fail "option $opt of --help is not in the page"
done
section_of_other=$(awk '$0 == ".SS \"Other options\""{on=1; next} on && /^\.S[HS]/{exit}
    on && prev == ".TP"{print} {prev=$0}' "$tmp/page" | options_in | tr '\n' ' ')
[ "$section_of_other" = "--help --version " ] ||
    fail "the page's other options are [$section_of_other], not [--help --version]"

# Coordinate systems.
"$cli" systems | awk 'NR > 1 {print $1}' | sort >"$tmp/systems"
awk '/^\.SS Coordinate systems/{on=1; next} on && /^\.S[HS]/{exit}
     on && prev == ".TP"{print $2} {prev=$0}' "$tmp/page" | sort >"$tmp/page-systems"
cmp -s "$tmp/systems" "$tmp/page-systems" ||
    fail "systems: zelk-cli systems prints [$(echo $(cat "$tmp/systems"))]," \
         "the page lists [$(echo $(cat "$tmp/page-systems"))]"

# Environment variables (ZELK_POINTS and ZELK_LABELS are the layers of a
# DXF drawing, not variables).
cat "$tmp"/help-* "$tmp/overview" | grep -o 'ZELK_[A-Z_]*' | grep -vx 'ZELK_POINTS\|ZELK_LABELS' |
    sort -u >"$tmp/help-env"
awk '/^\.SH ENVIRONMENT/{on=1; next} on && /^\.SH/{exit} on && prev == ".TP"{print $2} {prev=$0}' \
    "$tmp/page" | sort -u >"$tmp/page-env"
cmp -s "$tmp/help-env" "$tmp/page-env" ||
    fail "environment: help names [$(echo $(cat "$tmp/help-env"))]," \
         "page names [$(echo $(cat "$tmp/page-env"))]"

if [ "$failures" -ne 0 ]; then
    echo "$failures mismatch(es) between zelk-cli --help and $page" >&2
    exit 1
fi
echo "manual page agrees with --help: commands $(echo $commands)"
