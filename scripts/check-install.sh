#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what others read there: the software
# centre's entry (appstreamcli), the applications menu (desktop-file-validate), the file type
# with its glob and magic (update-mime-database, GIO), the man pages (groff) and the bash
# completion, which must offer every option the programs' own help lists.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail

build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
share=$prefix/share
fail() {
  echo "check-install: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

appstreamcli validate --no-net "$share/metainfo/org.vellacord.Vellacord.metainfo.xml"
desktop-file-validate "$share/applications/vellacord.desktop"

# The file type: a .defl file is ours by its name; any other SQLite file stays an SQLite file,
# also when only its content is looked at.
cp -r "$share/mime" "$work/mime"
update-mime-database "$work/mime" >/dev/null 2>&1
grep -q '^[0-9]*:application/x-vellacord-database:\*\.defl$' "$work/mime/globs2" || fail "no *.defl glob"
grep -aq '^\[40:application/x-vellacord-database\]$' "$work/mime/magic" || fail "no magic for the SQLite header"
sqlite3 "$work/team.defl" 'create table t (a)'
cp "$work/team.defl" "$work/other.sqlite"
cp "$work/team.defl" "$work/unnamed"
type_of() {
  XDG_DATA_HOME=$work XDG_DATA_DIRS=/usr/share gio info -a standard::content-type "$1" |
    sed -n 's/^ *standard::content-type: //p'
}
[ "$(type_of "$work/team.defl")" = application/x-vellacord-database ] || fail "team.defl is $(type_of "$work/team.defl")"
[ "$(type_of "$work/other.sqlite")" = application/vnd.sqlite3 ] || fail "other.sqlite is $(type_of "$work/other.sqlite")"
[ "$(type_of "$work/unnamed")" = application/vnd.sqlite3 ] || fail "an unnamed SQLite file is $(type_of "$work/unnamed")"

# The man pages render without warnings and carry the programs' options.
for program in vellacord vellacord-admin; do
  page=$share/man/man1/$program.1
  [ -f "$page" ] || fail "no man page $page"
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
  text=$(groff -man -Tutf8 -P-cbou "$page")
  grep -q -- '--version' <<<"$text" || fail "$page names no --version"
done
# Read whole before it is searched: grep -q stops reading at the first match, and with pipefail the
# writer's broken pipe would fail the check.
admin_page=$(groff -man -Tutf8 -P-cbou "$share/man/man1/vellacord-admin.1" | tr -s ' ')
for synopsis in 'list FILE --user LOGIN' 'defect add FILE --user LOGIN --subject TEXT' 'hook install REPO --database FILE' \
  'search FILE WORDS...'; do
  grep -qF -- "$synopsis" <<<"$admin_page" || fail "the man page of vellacord-admin lacks: $synopsis"
done

# The completion offers each command's options as its --help lists them.
completions=$share/bash-completion/completions
complete_words() { # program function words...
  local script=$1 function=$2
  shift 2
  bash -c 'source "$1"; shift; f=$1; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); "$f"; printf "%s\n" "${COMPREPLY[@]}"' \
    complete "$script" "$function" "$@" | sort
}
[ "$(complete_words "$completions/vellacord-admin" _vellacord_admin vellacord-admin li)" = list ] ||
  fail "vellacord-admin li does not complete to list"
admin=$prefix/bin/vellacord-admin
for command in create convert repair unlock version list "user add" "user list" "defect show" "defect add" \
  "defect comment" "defect status" "hook install" "hook run" search migrate backup attachments-root pg-setup; do
  # shellcheck disable=SC2086 # "user add" is two words
  listed=$("$admin" $command --help | grep -o -- '^  \(-h, \)\?--[a-z-]*' | sed 's/^  \(-h, \)\?//' | sort)
  # shellcheck disable=SC2086
  offered=$(complete_words "$completions/vellacord-admin" _vellacord_admin vellacord-admin $command team.defl --)
  [ "$listed" = "$offered" ] || fail "vellacord-admin $command: help lists $(tr "\n" " " <<<"$listed"), completion offers $(tr "\n" " " <<<"$offered")"
done
[ "$(complete_words "$completions/vellacord" _vellacord vellacord --v)" = --version ] ||
  fail "vellacord --v does not complete to --version"
