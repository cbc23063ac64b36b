# shellcheck shell=bash
# The helpers of the end-to-end scenario: a virtual display with a window manager, a mail sink,
# the program's instances (one per workstation user), keys and text sent with xdotool, and the
# checks of what each instance shows (its trace, see app/TestTrace.h), of the file (sqlite3)
# and of the mail that arrived. scenario.sh sources this file and sets WORK, OUT, BIN_DIR.

SKIP_CODE=77
# How long a step waits for a window, a dialog or a state before it counts as failed.
WAIT_SECONDS=${VELLACORD_E2E_WAIT:-8}

declare -A APP_PID=()
HELPER_PIDS=()
FAILURES=()
PASSED_STEPS=()
STEP=""
STEP_FAILED=0
SHOT_COUNT=0

say() { printf '%s\n' "$*"; }

skip() {
  say "SKIP: $*"
  exit "$SKIP_CODE"
}

# A tool the scenario cannot do without: its absence is a failure that names the package.
need_tool() {
  command -v "$1" >/dev/null 2>&1 && return 0
  say "FAILED: '$1' is missing; install it with scripts/install-deps.sh (Debian package $2)"
  exit 1
}

# --- steps, checks and screenshots ---------------------------------------------------------

step() {
  finish_step
  STEP=$1
  STEP_FAILED=0
  say "--- $STEP: $2 (at ${SECONDS} s)"
}

finish_step() {
  [ -n "$STEP" ] && [ "$STEP_FAILED" = 0 ] && PASSED_STEPS+=("$STEP")
  # For a look at the screen while the programs still run: VELLACORD_E2E_PAUSE_AFTER=STEP.
  if [ -n "$STEP" ] && [ "$STEP" = "${VELLACORD_E2E_PAUSE_AFTER:-}" ]; then
    say "paused after $STEP for 10 minutes: DISPLAY=$DISPLAY, work folder $WORK"
    # In the background, so that a signal ends the pause at once.
    sleep 600 &
    HELPER_PIDS+=($!)
    wait $!
  fi
  STEP=""
}

# Saves the screen into the build tree, in SHOT.
screenshot() {
  SHOT_COUNT=$((SHOT_COUNT + 1))
  SHOT="$OUT/$(printf '%02d' "$SHOT_COUNT")-${STEP:-start}.png"
  import -window root "$SHOT" 2>/dev/null || SHOT="(none: import failed)"
}

fail() {
  screenshot
  STEP_FAILED=1
  FAILURES+=("$STEP: $1 (screen: $SHOT)")
  say "  FAILED: $1"
  say "          screen: $SHOT"
}

# check DESCRIPTION COMMAND...: runs the command; its failure fails the step, not the scenario.
check() {
  local description=$1
  shift
  if "$@"; then
    say "  ok: $description"
  else
    fail "$description"
  fi
}

# require DESCRIPTION COMMAND...: as check, but without it the later steps cannot run.
require() {
  local description=$1
  shift
  if "$@"; then
    say "  ok: $description"
    return 0
  fi
  fail "$description"
  say "  the scenario cannot go on without this"
  finish_step
  exit 1
}

# wait_until COMMAND...: true as soon as the command succeeds, false after WAIT_SECONDS.
wait_until() {
  local deadline=$((SECONDS + WAIT_SECONDS))
  while ! "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

# holds_for SECONDS COMMAND...: true when the command keeps succeeding for that long.
holds_for() {
  local deadline=$((SECONDS + $1))
  shift
  while [ "$SECONDS" -lt "$deadline" ]; do
    "$@" || return 1
    sleep 0.2
  done
}

# --- the display, the window manager and the mail sink ---------------------------------------

start_display() {
  command -v Xvfb >/dev/null 2>&1 || skip "no X server can start here: Xvfb is not installed (scripts/install-deps.sh installs it)"
  local number_file="$WORK/display-number"
  # -displayfd picks a free display number, so that parallel runs do not collide.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >"$WORK/xvfb.log" 2>&1 &
  HELPER_PIDS+=($!)
  local deadline=$((SECONDS + WAIT_SECONDS))
  until [ -s "$number_file" ]; do
    if [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "${HELPER_PIDS[-1]}" 2>/dev/null; then
      skip "no X server can start here: Xvfb did not come up ($(tail -n 1 "$WORK/xvfb.log"))"
    fi
    sleep 0.1
  done
  DISPLAY=":$(head -n 1 "$number_file")"
  export DISPLAY
  openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
  HELPER_PIDS+=($!)
  wait_until xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 ||
    { say "FAILED: the window manager openbox did not start"; exit 1; }
  say "display $DISPLAY with openbox"
}

# A python3 that has aiosmtpd: Debian's, or the one on the path.
smtp_python() {
  local python
  for python in /usr/bin/python3 python3; do
    "$python" -c 'import aiosmtpd' 2>/dev/null && { printf '%s' "$python"; return 0; }
  done
  return 1
}

# An SMTP server on a free loopback port that keeps every message in a Maildir, and a
# sendmail-compatible command (msmtp) that delivers to it, as the mail tests use.
start_mail_sink() {
  local python port
  python=$(smtp_python) || { say "FAILED: python3-aiosmtpd is missing; install it with scripts/install-deps.sh"; exit 1; }
  port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  MAILDIR="$WORK/maildir"
  "$python" -m aiosmtpd -n -l "127.0.0.1:$port" -c aiosmtpd.handlers.Mailbox "$MAILDIR" >"$WORK/smtp.log" 2>&1 &
  HELPER_PIDS+=($!)
  printf 'defaults\nauth off\ntls off\naccount default\nhost 127.0.0.1\nport %s\nfrom vellacord-e2e@localhost\n' \
    "$port" >"$WORK/msmtprc"
  chmod 600 "$WORK/msmtprc"
  SENDMAIL="$WORK/sendmail"
  printf '#!/bin/sh\nexec msmtp -C "%s" --read-envelope-from "$@"\n' "$WORK/msmtprc" >"$SENDMAIL"
  chmod 700 "$SENDMAIL"
  wait_until "$python" -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null ||
    { say "FAILED: the SMTP sink did not start"; exit 1; }
}

mail_count() {
  find "$MAILDIR/new" -type f 2>/dev/null | wc -l
}

# The newest message that arrived.
last_mail() {
  local newest
  newest=$(find "$MAILDIR/new" -type f -printf '%T@ %p\n' 2>/dev/null | sort -n | tail -n 1 | cut -d' ' -f2-)
  [ -n "$newest" ] && cat "$newest"
}

stop_helpers() {
  local who pid
  for who in "${!APP_PID[@]}"; do
    pid=${APP_PID[$who]}
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  for pid in "${HELPER_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
}

# --- the program's instances ---------------------------------------------------------------

# A workstation user: their own home, settings, temporary folder and trace.
make_user() {
  local home="$WORK/$1"
  mkdir -p "$home/config" "$home/tmp" "$home/runtime"
  chmod 700 "$home/runtime"
  : >"$home/trace"
}

trace_file() { printf '%s' "$WORK/$1/trace"; }

# start_app WHO FOLDER [ARGUMENTS...]: starts the program for WHO in FOLDER.
start_app() {
  local who=$1 folder=$2 home="$WORK/$1"
  shift 2
  (
    cd "$folder" || exit 1
    exec env -u QT_QPA_PLATFORM -u DBUS_SESSION_BUS_ADDRESS -u SESSION_MANAGER \
      HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
      XDG_RUNTIME_DIR="$home/runtime" TMPDIR="$home/tmp" DISPLAY="$DISPLAY" \
      VELLACORD_SENDMAIL="$SENDMAIL" VELLACORD_TEST_TRACE="$(trace_file "$who")" \
      "$BIN_DIR/vellacord" "$@"
  ) >>"$home/output.txt" 2>&1 &
  APP_PID[$who]=$!
}

app_running() { kill -0 "${APP_PID[$1]}" 2>/dev/null; }
app_ended() { ! app_running "$1"; }

# The visible window of WHO's program with exactly this title.
window_of() {
  local who=$1 title=$2 id
  for id in $(xdotool search --all --onlyvisible --pid "${APP_PID[$who]}" --name . 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$title" ] && { printf '%s' "$id"; return 0; }
  done
  return 1
}

has_window() { window_of "$1" "$2" >/dev/null; }
lacks_window() { ! has_window "$1" "$2"; }

# activate WHO TITLE: gives that window the keyboard, so that the keys that follow reach it.
# Whether WHO's program says its window with this title is active. A dialog's activation may
# come before its parent's deactivation, so each title's last word counts.
window_active() {
  awk -F'\t' '$1 == "active" || $1 == "inactive" { state[$2] = $1 }
    END { exit !(state[wanted] == "active") }' wanted="$2" "$(trace_file "$1")"
}

# A window that closes hands the activation back to its parent a moment later, so activation is
# checked after a pause and repeated when another window took it.
activate() {
  local id _
  id=$(window_of "$1" "$2") || return 1
  for _ in 1 2 3 4 5; do
    xdotool windowactivate --sync "$id" >/dev/null 2>&1
    WAIT_SECONDS=2 wait_until window_active "$1" "$2"
    sleep 0.3
    window_active "$1" "$2" && return 0
  done
  say "  (could not activate $1's window '$2')"
  return 1
}

keys() { xdotool key --delay 60 "$@"; }
typed() { xdotool type --delay 25 -- "$1"; }

# --- what an instance shows, read from its trace --------------------------------------------

# Remembers where WHO's trace stands; since_mark reads what came after.
declare -A MARK=()
mark() { MARK[$1]=$(wc -l <"$(trace_file "$1")"); }
since_mark() { tail -n +"$((${MARK[$1]:-0} + 1))" "$(trace_file "$1")"; }

# The last state of a named widget that WHO's trace shows (the text of a field, a list's rows).
state_of() {
  awk -F'\t' -v name="$2" '($1 == "focus" || $1 == "key" || $1 == "view") && $3 == name { s = $5 } END { print s }' \
    "$(trace_file "$1")"
}

# The class of a named widget in WHO's trace (QLineEdit, QCheckBox, ...).
class_of() {
  awk -F'\t' '($1 == "focus" || $1 == "key" || $1 == "view") && $3 == name { s = $4 } END { print s }' \
    name="$2" "$(trace_file "$1")"
}

# The widget that has WHO's keyboard focus, as far as the trace tells.
focused() {
  awk -F'\t' '$1 == "focus" || $1 == "key" { s = $3 } END { print s }' "$(trace_file "$1")"
}

# dialog_since_mark WHO PATTERN: a dialog whose title or text matches the extended regex opened.
dialog_since_mark() {
  since_mark "$1" | awk -F'\t' '$1 == "dialog"' | grep -Eiq -- "$2"
}
no_dialog_since_mark() {
  ! since_mark "$1" | grep -q '^dialog'
}
last_dialog_since_mark() {
  since_mark "$1" | awk -F'\t' '$1 == "dialog" { s = $2 ": " $3 } END { print s }'
}

# focus_to WHO NAME: tabs through WHO's window until the named widget has the focus. Inside
# the defect list Tab moves between cells, so F6 leaves it for the form.
focus_to() {
  local who=$1 name=$2 now _
  for _ in $(seq 1 40); do
    now=$(focused "$who")
    [ "$now" = "$name" ] && return 0
    if [ "$now" = defectList ]; then keys F6; else keys Tab; fi
    sleep 0.05
  done
  say "  (the focus never reached '$name'; it is on '$(focused "$who")')"
  return 1
}

# The list's current row as the trace last showed it: rows=N selected=N bold=0|1 current=cells
list_state() { state_of "$1" defectList; }
list_field() { list_state "$1" | tr ' ' '\n' | awk -F= -v key="$2" '$1 == key { print $2; exit }'; }
# The id of the list's current defect (the first cell of its row).
current_id() { list_state "$1" | sed -n 's/.* current=\([0-9]*\).*/\1/p'; }

# Asks WHO's window for a fresh state line: a lone Shift changes nothing in the program.
refresh_state() {
  keys shift
  sleep 0.2
}

focus_is_one_of() {
  local who=$1 now wanted
  shift
  now=$(focused "$who")
  for wanted in "$@"; do [ "$now" = "$wanted" ] && return 0; done
  return 1
}
focus_is_not() { [ "$(focused "$1")" != "$2" ]; }

# answer WHO PATTERN KEY DESCRIPTION: checks that a dialog matching PATTERN opened and only then
# answers it with KEY, so that a key meant for a dialog never lands in a field.
answer() {
  local who=$1 pattern=$2 key=$3 description=$4
  if wait_until dialog_since_mark "$who" "$pattern"; then
    say "  ok: $description"
    sleep 0.2
    keys "$key"
    sleep 0.3
  else
    fail "$description"
  fi
}

# A window of WHO's program other than the one titled MAIN.
other_window() {
  local id
  for id in $(xdotool search --all --onlyvisible --pid "${APP_PID[$1]}" --name . 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" != "$2" ] && { printf '%s' "$id"; return 0; }
  done
  return 1
}

# close_others WHO MAIN: answers every window of WHO's program but MAIN with its default button
# (Return), so that a step that failed with a question left open does not block the next.
close_others() {
  local id _
  for _ in 1 2 3 4 5; do
    id=$(other_window "$1" "$2") || return 0
    say "  (closing '$(xdotool getwindowname "$id")' of $1 left open)"
    xdotool windowactivate --sync "$id" >/dev/null 2>&1
    keys Return
    sleep 0.5
  done
}

contains() { [[ "$1" == *"$2"* ]]; }
lacks() { [[ "$1" != *"$2"* ]]; }

# --- the shared file and the mail ----------------------------------------------------------

sql() { sqlite3 -cmd '.timeout 3000' "$DATABASE" "$1"; }
# sql_is VALUE QUERY: asks again each time it is tried.
sql_is() { [ "$(sql "$2")" = "$1" ]; }
mails_are() { [ "$(mail_count)" = "$1" ]; }
mails_more_than() { [ "$(mail_count)" -gt "$1" ]; }
