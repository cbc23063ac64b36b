#!/usr/bin/env bash
# A team's first hour, driven through the real program: two workstation users (ann and bob, each
# with their own home and settings) run vellacord on one shared file, on a virtual display with
# openbox, typed at with xdotool. Every step is checked from outside: window titles, what the
# program's dialogs and fields show (its trace, VELLACORD_TEST_TRACE), the file (sqlite3) and the
# mail that arrived (an SMTP sink). A failed check saves a screenshot and names it.
#
#     tests/e2e/scenario.sh BIN_DIR OUT_DIR
#
# BIN_DIR holds vellacord and vellacord-admin; OUT_DIR (emptied first) receives the screenshots,
# the traces and the file. Exit status: 0 when every step passed, 1 when one failed, 77 when
# no X server can start here.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BIN_DIR OUT_DIR" >&2
  exit 2
fi
BIN_DIR=$(cd "$1" && pwd) || exit 2
OUT=$2
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$HERE/lib.sh"

rm -rf "$OUT"
mkdir -p "$OUT/work"
OUT=$(cd "$OUT" && pwd)
WORK="$OUT/work"
export LC_ALL=C.UTF-8

need_tool xdotool xdotool
need_tool openbox openbox
need_tool import imagemagick
need_tool xprop x11-utils
need_tool sqlite3 sqlite3
need_tool msmtp msmtp
if [ ! -x "$BIN_DIR/vellacord" ] || [ ! -x "$BIN_DIR/vellacord-admin" ]; then
  say "FAILED: $BIN_DIR does not hold vellacord and vellacord-admin; build them first"
  exit 1
fi

trap stop_helpers EXIT
trap 'exit 1' INT TERM
started=$SECONDS
start_display
start_mail_sink
make_user ann
make_user bob
SHARE="$WORK/share"
mkdir -p "$SHARE"
DATABASE="$SHARE/team.defl"
MAIN="Vellacord - team.defl"
ANN_PASSWORD=ann-secret-1
BOB_PASSWORD=bob-secret-2
NOTE_SUBJECT="Login page is slow"
FIRST="Login fails with an empty password"
NOTE=0
D1=0

# log_in WHO DISPLAY-NAME PASSWORD: picks the user in the login dialog and logs in.
log_in() {
  local who=$1 name=$2 password=$3
  require "the login dialog opens" wait_until has_window "$who" Login
  activate "$who" Login
  wait_until focus_is_one_of "$who" user1011 password1132
  focus_to "$who" user1011
  # A combo box picks the entry that begins with the letters typed.
  typed "${name%% *}"
  sleep 0.2
  check "the login dialog shows $name" [ "$(state_of "$who" user1011)" = "$name" ]
  focus_to "$who" password1132
  typed "$password"
  keys Return
  require "$name's main window opens on the shared file" wait_until has_window "$who" "$MAIN"
}

# set_up_mail WHO: Setup > Options, Mail page, OK: this computer sends mail through its
# sendmail, as the guide's "Setting up mail" has it (VELLACORD_SENDMAIL points at the sink).
set_up_mail() {
  local who=$1
  activate "$who" "$MAIN"
  # Alt+S is also the form's Summary page: the Setup menu is reached from the Reports menu.
  keys alt+p
  sleep 0.3
  keys Left
  sleep 0.3
  keys o
  check "$who's options open" wait_until has_window "$who" Options
  activate "$who" Options
  keys Return
  check "and close with OK" wait_until lacks_window "$who" Options
  wait_until window_active "$who" "$MAIN"
}

# quit WHO: File > Exit.
quit() {
  activate "$1" "$MAIN"
  keys alt+f
  sleep 0.3
  keys x
}

# search_for WHO TEXT: Edit > Find, the text, Return: the next match becomes current.
search_for() {
  local who=$1 text=$2
  keys ctrl+f
  wait_until focus_is_one_of "$who" searchText || return 1
  # Find selects the text that is there, so that typing replaces it.
  typed "$text"
  keys Return
  sleep 0.3
}

# show_page WHO N: the form's page N (0 Summary, 1 Details), through its tab bar.
show_page() {
  focus_to "$1" qt_tabwidget_tabbar || return 1
  keys Left Left Left Left
  for _ in $(seq 1 "$2"); do keys Right; done
  sleep 0.2
}

# The defect that WHO's list shows as current, after a fresh look.
current_defect() {
  refresh_state
  current_id "$1"
}

has_schema() {
  local version
  version=$("$BIN_DIR/vellacord-admin" version "$DATABASE" 2>/dev/null)
  [ "${version:-0}" -gt 0 ] 2>/dev/null
}
has_transitions() { [ "$(sql 'SELECT count(*) FROM statustransitions' 2>/dev/null)" -gt 0 ] 2>/dev/null; }

user_id() { sql "SELECT stakeholder_id FROM stakeholder WHERE loginname = '$1'"; }

# ---------------------------------------------------------------------------------------------
step first-start "ann starts the program in an empty share: no database yet"
start_app ann "$SHARE"
require "the administration dialog opens" wait_until has_window ann "Database administration"
check "it says that no database was found" dialog_since_mark ann "no database"

# ---------------------------------------------------------------------------------------------
step create "ann creates team.defl through the administration dialog"
activate ann "Database administration"
focus_to ann createNew
mark ann
keys space
require "the file dialog asks for the new file's name" wait_until focus_is_one_of ann fileNameEdit
keys ctrl+a
typed "$DATABASE"
keys Return
require "the workflow is asked for" wait_until has_window ann "Select workflow"
activate ann "Select workflow"
keys Return
require "the file is created" wait_until test -s "$DATABASE"
check "it has a schema version" wait_until has_schema
check "it has the standard workflow's transitions" wait_until has_transitions
answer ann "no users" Return "the program says that the database has no users yet"

# ---------------------------------------------------------------------------------------------
step first-user "ann adds herself as administrator in Setup > Lists, Users page"
require "the list editor opens" wait_until has_window ann "Setup lists"
activate ann "Setup lists"
focus_to ann new1047 && keys space
focus_to ann field9993 && typed "ann@example.org"
focus_to ann field9994 && typed "Ann Admin"
focus_to ann field9995 && typed "ann"
focus_to ann field9998 && typed "$ANN_PASSWORD"
# The user flags: "A" makes an administrator, typed or through a check box.
if focus_to ann field9999; then
  if [ "$(class_of ann field9999)" = QCheckBox ]; then keys space; else typed "A"; fi
fi
focus_to ann save1035 && keys space
check "the file holds ann as an administrator with a password" wait_until sql_is 1 \
  "SELECT count(*) FROM stakeholder WHERE loginname = 'ann' AND userflags LIKE '%A%' AND length(passwd) > 0"
# The team's second member is added from a shell, as an administrator would script it.
printf '%s\n' "$BOB_PASSWORD" | "$BIN_DIR/vellacord-admin" user add "$DATABASE" bob --name "Bob Builder" \
  --email bob@example.org --password-stdin >/dev/null
check "vellacord-admin added bob" [ -n "$(user_id bob)" ]
focus_to ann close1 && keys space
ANN_ID=$(user_id ann)
BOB_ID=$(user_id bob)

# ---------------------------------------------------------------------------------------------
step login "ann logs in; bob opens the same file on his workstation and logs in; both set up mail"
log_in ann "Ann Admin" "$ANN_PASSWORD"
set_up_mail ann
start_app bob "$SHARE" team.defl
log_in bob "Bob Builder" "$BOB_PASSWORD"
set_up_mail bob

# ---------------------------------------------------------------------------------------------
step new-defect "ann notes a defect for herself, then enters a new defect for bob"
activate ann "$MAIN"
keys ctrl+n
require "the new defect's subject has the focus" wait_until focus_is_one_of ann subject
NOTE=$(current_defect ann)
typed "$NOTE_SUBJECT"
check "typing replaces the placeholder subject" [ "$(state_of ann subject)" = "$NOTE_SUBJECT" ]
focus_to ann to && typed "Ann"
focus_to ann description && typed "Takes ten seconds to show up."
mark ann
keys ctrl+s
# The first mail of a computer is a test: the program says so before and asks afterwards.
answer ann "test the mail" Return "the first mail is announced as a test of this computer's mail"
answer ann "without this test" alt+y "afterwards the program asks whether to go on without the test"
check "ann's note is saved" wait_until sql_is 1 \
  "SELECT count(*) FROM defectlist WHERE defect_id = $NOTE AND subject LIKE '%$NOTE_SUBJECT' AND toid = $ANN_ID"
close_others ann "$MAIN"
keys ctrl+n
wait_until focus_is_one_of ann subject
D1=$(current_defect ann)
typed "$FIRST"
focus_to ann to && typed "Bob"
check "bob is the addressee" [ "$(state_of ann to)" = "Bob Builder" ]
focus_to ann description && typed "Pressing OK with an empty password closes the window."
# The Details page is hidden in the default view: its text is what the search must also find.
show_page ann 1
focus_to ann comments && typed "Seen only with the zebrafish keyboard layout."

# ---------------------------------------------------------------------------------------------
step save "ann saves: the file has the defect, unread for bob, and bob gets a notification"
mails=$(mail_count)
mark ann
keys ctrl+s
check "the file holds the defect from ann for bob, unread" wait_until sql_is 1 \
  "SELECT count(*) FROM defectlist WHERE defect_id = $D1 AND subject LIKE '%$FIRST' AND toid = $BOB_ID AND fromid = $ANN_ID AND lastread = 0 AND comments = 'Seen only with the zebrafish keyboard layout.'"
check "a notification mail arrives" wait_until mails_more_than "$mails"
check "it goes to bob" contains "$(last_mail)" "bob@example.org"
check "it names the defect" contains "$(last_mail)" "Login fails"
check "saving asks nothing now that the mail test is done" holds_for 1 no_dialog_since_mark ann
close_others ann "$MAIN"

# ---------------------------------------------------------------------------------------------
step unread "bob refreshes: the program tells him of the unread entry and goes to it"
activate bob "$MAIN"
mark bob
keys F5
answer bob "unread" alt+y "a question tells bob of new unread entries"
refresh_state
check "the list shows both defects" [ "$(list_field bob rows)" = 2 ]
# Ann's note comes first in the list and is not bob's to read: Yes must move on to his.
check "Yes goes to the unread entry" [ "$(current_id bob)" = "$D1" ]
check "which the list shows in bold" [ "$(list_field bob bold)" = 1 ]
check "the file has it unread for bob" sql_is 1 "SELECT count(*) FROM defectlist WHERE defect_id = $D1 AND toid = $BOB_ID AND lastread = 0"

# ---------------------------------------------------------------------------------------------
step search "bob searches: Find Next moves from match to match, hidden texts are searched too"
activate bob "$MAIN"
# A new search begins at the top of the list: ann's note is the first match.
search_for bob "Login"
check "the first match, ann's note, is current" [ "$(current_id bob)" = "$NOTE" ]
check "and selected alone" [ "$(list_field bob selected)" = 1 ]
keys F3
sleep 0.3
check "Find Next moves to the next match, bob's defect" [ "$(current_defect bob)" = "$D1" ]
check "and leaves it selected alone" [ "$(list_field bob selected)" = 1 ]
# Find selects the text, so that what is typed replaces it.
search_for bob "zebrafish"
check "the search field holds the new word alone" [ "$(state_of bob searchText)" = zebrafish ]
check "a word only in the hidden Comments is found" [ "$(current_id bob)" = "$D1" ]
keys Escape
check "Escape leaves the search field" wait_until focus_is_not bob searchText

# ---------------------------------------------------------------------------------------------
step mark-read "bob marks the defect read: only its read state changes, no mail goes out"
activate bob "$MAIN"
search_for bob "empty password"
check "bob has the first defect in his form" [ "$(current_defect bob)" = "$D1" ]
before=$(sql "SELECT modified || '|' || history FROM defectlist WHERE defect_id = $D1")
mails=$(mail_count)
mark bob
keys ctrl+q
check "the file has the defect read" wait_until sql_is 1 "SELECT lastread <> 0 FROM defectlist WHERE defect_id = $D1"
check "Modified and the history are unchanged" sql_is "$before" "SELECT modified || '|' || history FROM defectlist WHERE defect_id = $D1"
check "nothing is asked" holds_for 1 no_dialog_since_mark bob
close_others bob "$MAIN"
check "no mail is sent" holds_for 2 mails_are "$mails"
refresh_state
check "the row is no longer bold" [ "$(list_field bob bold)" = 0 ]

# ---------------------------------------------------------------------------------------------
step collision "both edit the same defect; bob's later save gets the mid-air message"
activate bob "$MAIN"
show_page bob 0
focus_to bob description && keys ctrl+End && typed " Bob: only on the first try."
activate ann "$MAIN"
search_for ann "empty password"
check "ann has the first defect in her form" [ "$(current_defect ann)" = "$D1" ]
show_page ann 1
focus_to ann comments && keys ctrl+End && typed " Ann: on every try."
mails=$(mail_count)
mark ann
keys ctrl+s
check "ann's change is saved" wait_until sql_is 1 \
  "SELECT count(*) FROM defectlist WHERE defect_id = $D1 AND comments LIKE '%zebrafish keyboard layout. Ann: on every try.'"
check "without a question" holds_for 1 no_dialog_since_mark ann
close_others ann "$MAIN"
check "bob is told by mail" wait_until mails_more_than "$mails"
activate bob "$MAIN"
mark bob
keys ctrl+s
check "bob's save gets the mid-air message" wait_until dialog_since_mark bob "modified|changed"
say "  bob was told: $(last_dialog_since_mark bob)"
# The file keeps no author of an edit (only of a status change, in the history): the message
# says when the change it met was saved. OLE dates count days from 1899-12-30, in local time.
changed_at=$(sql "SELECT strftime('%H:%M', CAST((modified - 25569) * 86400 AS INTEGER), 'unixepoch') FROM defectlist WHERE defect_id = $D1")
check "the message says when ann's change was saved ($changed_at)" dialog_since_mark bob "$changed_at"
check "ann's change stays in the file and bob's is not written" sql_is 1 \
  "SELECT count(*) FROM defectlist WHERE defect_id = $D1 AND comments LIKE '%Ann: on every try.' AND description NOT LIKE '%Bob: only%'"
# OK throws bob's edits away and shows the defect as ann left it.
keys Return
sleep 0.5
close_others bob "$MAIN"
focus_to bob description
check "bob's form shows the defect as ann left it" lacks "$(state_of bob description)" "Bob: only"

# ---------------------------------------------------------------------------------------------
step delete "ann deletes her note; bob's list loses it too"
activate ann "$MAIN"
search_for ann "slow"
keys Escape
focus_to ann defectList
check "her note is current" [ "$(current_defect ann)" = "$NOTE" ]
check "and selected alone" [ "$(list_field ann selected)" = 1 ]
mark ann
keys ctrl+d
answer ann "delete" alt+y "the program asks before deleting"
check "the file no longer has the note" wait_until sql_is 0 "SELECT count(*) FROM defectlist WHERE defect_id = $NOTE"
check "bob's defect stays" sql_is 1 "SELECT count(*) FROM defectlist WHERE defect_id = $D1"
refresh_state
check "ann's list shows one defect" [ "$(list_field ann rows)" = 1 ]
activate bob "$MAIN"
mark bob
keys F5
# Ann's change made the first defect unread for bob again: the refresh says so.
answer bob "unread" alt+n "bob's refresh tells him that the first defect changed"
refresh_state
check "bob's list shows one defect" [ "$(list_field bob rows)" = 1 ]

# ---------------------------------------------------------------------------------------------
step restart "both quit; ann's plain start reopens team.defl with her preselected"
for who in ann bob; do
  close_others "$who" "$MAIN"
  mark "$who"
  quit "$who"
  check "$who's program ends on File > Exit" wait_until app_ended "$who"
  check "without a question" no_dialog_since_mark "$who"
done
mark ann
# From her home folder, which holds no default.defl: only the remembered file can open.
start_app ann "$WORK/ann"
wait_until has_window ann Login || wait_until has_window ann "Database administration"
if has_window ann Login; then
  say "  ok: the login dialog for team.defl opens"
  activate ann Login
  wait_until focus_is_one_of ann user1011 password1132
  [ "$(focused ann)" = password1132 ] && keys shift+Tab
  refresh_state
  check "the last user is preselected" [ "$(state_of ann user1011)" = "Ann Admin" ]
  focus_to ann password1132
  typed "$ANN_PASSWORD"
  keys Return
  check "ann's main window opens on team.defl" wait_until has_window ann "$MAIN"
  activate ann "$MAIN"
  refresh_state
  check "it lists the remaining defect" [ "$(list_field ann rows)" = 1 ]
  quit ann
  check "the program ends" wait_until app_ended ann
else
  fail "the plain start opens team.defl (it showed: $(last_dialog_since_mark ann))"
  close_others ann "$MAIN"
fi
finish_step

# ---------------------------------------------------------------------------------------------
say ""
say "scenario took $((SECONDS - started)) s; passed: ${PASSED_STEPS[*]:-none}"
if [ ${#FAILURES[@]} -gt 0 ]; then
  say "FAILED checks (${#FAILURES[@]}):"
  for failure in "${FAILURES[@]}"; do say "  $failure"; done
  exit 1
fi
say "every step passed"
