#!/usr/bin/env python3
"""Kills the real program with SIGKILL while it saves a defect, round after round, and checks at
every next start that each save the program had confirmed is still in the file, that the file
passes the engine's integrity check, and that the program opens it without asking anything.

Each round starts build/vellacord on the same file under Xvfb and openbox, makes a few new defects
with Ctrl+N, types a subject and saves with Ctrl+S (a save counts as confirmed once its subject is
in the file: the form shows it saved right after the commit), then saves once more and kills the
program: in odd rounds the moment the save's journal appears (inside its write), in even rounds a
random few milliseconds after the Ctrl+S. The file lives on a real disk, so that the engine's
syncs take the time they take on a workstation, and each sync of the program is made 10 ms slower
(a shim preloaded into it), as on a file share, so that a kill can land inside a save.

With --server the database is a PostgreSQL server's instead (a throwaway one that syncs its commits,
started in a folder of its own): the kills come a random few milliseconds after the save was
confirmed by its question's answer, and after each kill the check is that the server ended the dead
program's session, that no advisory lock of it is left and that maintenance could take the database.

Usage: scripts/kill-during-save.py BUILD_DIR [--rounds 20] [--saves 3] [--server] [--keep]
Needs Xvfb, openbox, xdotool, ImageMagick's import (scripts/install-deps.sh installs them)
and a C compiler; --server needs postgresql-15 and psql. A run of 20 rounds takes a minute or two,
so it is not part of the test suite. Exit status 0 when nothing was lost.
"""

import argparse
import os
import random
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pg_test_server  # noqa: E402


# Every sync of the program takes this long, as on a file share or a busy disk (the engine's
# commit syncs three times): without it a save is over before a kill can reach it.
SYNC_DELAY_SOURCE = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <unistd.h>
static void delay(void) { usleep(10000); }
int fsync(int fd) { static int (*real)(int); if (!real) real = dlsym(RTLD_NEXT, "fsync"); delay(); return real(fd); }
int fdatasync(int fd) { static int (*real)(int); if (!real) real = dlsym(RTLD_NEXT, "fdatasync"); delay(); return real(fd); }
"""


def build_sync_delay(work):
    source = os.path.join(work, "syncdelay.c")
    library = os.path.join(work, "syncdelay.so")
    with open(source, "w") as file:
        file.write(SYNC_DELAY_SOURCE)
    subprocess.run(["cc", "-shared", "-fPIC", "-o", library, source, "-ldl"], check=True)
    return library


def wait_for(condition, timeout, step=0.02):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return None


class Display:
    """An X server of its own with a window manager, so that keys reach the program's window."""

    def __init__(self, work):
        number = next(n for n in range(90, 200) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        self.name = f":{number}"
        self.server = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{number}"), 10):
            raise RuntimeError("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=self.name)
        self.manager = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool", *arguments], env=self.env, capture_output=True, text=True)
        return result.stdout.split()

    def visible_windows(self, pid):
        return self.xdotool("search", "--onlyvisible", "--pid", str(pid))

    def window_name(self, window):
        result = subprocess.run(["xdotool", "getwindowname", window], env=self.env, capture_output=True, text=True)
        return result.stdout.strip()

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, capture_output=True)

    def close(self):
        for process in (self.manager, self.server):
            process.terminate()
            process.wait()


class Database:
    def __init__(self, path):
        self.path = path

    def read(self, sql, parameters=()):
        # Read-only, so that the check never completes a killed writer's journal in the program's stead.
        connection = sqlite3.connect(f"file:{self.path}?mode=ro", uri=True, timeout=10)
        try:
            return connection.execute(sql, parameters).fetchall()
        finally:
            connection.close()

    def count_subject(self, subject):
        return self.read("SELECT count(*) FROM defectlist WHERE subject = ?", (subject,))[0][0]

    def integrity(self):
        return self.read("PRAGMA integrity_check")[0][0]


class ServerDatabase:
    def __init__(self, server, name):
        self.server = server
        self.name = name
        self.uri = server.create_database(name)

    def count_subject(self, subject):
        return int(self.server.query(self.name, "SELECT count(*) FROM defectlist WHERE subject = '%s'"
                                     % subject.replace("'", "''"))[0][0])

    def integrity(self):
        return "ok"

    def killed_program_left_nothing(self, round_number):
        """Whether the server ended the dead program's session and its locks, as it must at once."""
        problems = []
        if not wait_for(lambda: self.server.client_sessions(self.name) == 0, 5, step=0.05):
            problems.append(f"round {round_number}: {self.server.client_sessions(self.name)} sessions left")
        if self.server.advisory_locks(self.name):
            problems.append(f"round {round_number}: {self.server.advisory_locks(self.name)} advisory locks left")
        if not self.server.maintenance_free(self.name):
            problems.append(f"round {round_number}: maintenance cannot take the database")
        return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--saves", type=int, default=3, help="confirmed saves before the killed one")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--server", action="store_true", help="a PostgreSQL server's database instead of a file")
    options = parser.parse_args()

    program = os.path.abspath(os.path.join(options.build, "vellacord"))
    admin = os.path.abspath(os.path.join(options.build, "vellacord-admin"))
    work = tempfile.mkdtemp(prefix="vellacord-kill-", dir="/var/tmp")
    home = os.path.join(work, "home")
    for folder in ("config", "data", "tmp"):
        os.makedirs(os.path.join(home, folder))
    server = None
    if options.server:
        try:
            server = pg_test_server.TestServer(durable=True)
        except pg_test_server.Unavailable as reason:
            print(f"kill-during-save: no server here: {reason}")
            return 77
        database = ServerDatabase(server, "team")
        path = database.uri
    else:
        path = os.path.join(work, "team.defl")
        database = Database(path)
    subprocess.run([admin, "create", path, "--workflow", "standard"], check=True, capture_output=True)
    subprocess.run([admin, "user", "add", path, "ann", "--name", "Ann", "--admin"], check=True, capture_output=True)

    display = Display(work)
    env = dict(display.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"), TMPDIR=os.path.join(home, "tmp"), QT_QPA_PLATFORM="xcb")
    if not options.server:
        env["LD_PRELOAD"] = build_sync_delay(work)
    send_kill = pg_test_server.build_send_kill_shim(work) if options.server else None
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)

    confirmed = []  # subjects of the saves the program confirmed
    killed = {"landed": 0, "rolled back": 0, "journal left": 0, "left behind": 0, "at a statement": 0}
    problems = []
    asked = 0

    arm = os.path.join(work, "arm")

    hows = []  # how each round's kill came
    after_send = False

    def start(round_number, statement=None):
        nonlocal asked, after_send
        round_env = dict(env)
        if statement:
            # Armed for the killed save only: the saves before it run through.
            round_env.update(LD_PRELOAD=send_kill, KILL_AT_STATEMENT=statement, KILL_ARM_FILE=arm)
            after_send = random.random() < 0.5
            if after_send:
                round_env["KILL_AFTER_SEND"] = "1"
        process = subprocess.Popen([program, path, "-autologin=ann"], env=round_env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        windows = wait_for(lambda: display.visible_windows(process.pid), 30)
        if not windows:
            display.screenshot(os.path.join(work, f"start-{round_number}.png"))
            raise RuntimeError(f"round {round_number}: no window after 30 s")
        # A question at the start would show as a second window shortly after the first.
        time.sleep(0.7)
        windows = display.visible_windows(process.pid)
        if len(windows) > 1:
            asked += 1
            names = [display.window_name(window) for window in windows]
            shot = os.path.join(work, f"asked-{round_number}.png")
            display.screenshot(shot)
            problems.append(f"round {round_number}: the start shows {names} (see {shot})")
        main_window = max(windows, key=lambda window: len(display.window_name(window)))
        display.xdotool("windowactivate", "--sync", main_window)
        return process, main_window

    def check(round_number):
        state = database.integrity()
        if state != "ok":
            problems.append(f"round {round_number}: integrity check says {state}")
        for subject in confirmed:
            count = database.count_subject(subject)
            if count != 1:
                problems.append(f"round {round_number}: the confirmed save '{subject}' is there {count} times")

    def new_defect(process, main_window, subject):
        # A new defect gets the focus in its subject, which holds the template's text.
        display.xdotool("key", "ctrl+n")
        time.sleep(0.15)
        display.xdotool("key", "ctrl+a")
        display.xdotool("type", "--delay", "2", subject)
        display.xdotool("key", "ctrl+s")
        # The defect goes to nobody, so the save first asks whether that is meant; Yes is its default.
        question = wait_for(lambda: [w for w in display.visible_windows(process.pid)
                                     if w != main_window and display.window_name(w) == "Vellacord"], 5)
        if question:
            display.xdotool("windowactivate", "--sync", question[0])
            display.xdotool("key", "Return")

    def dismiss_hints(process, main_window):
        # After a save the mail dispatch may hint that mail is not set up; No closes it.
        time.sleep(0.3)
        for window in display.visible_windows(process.pid):
            if window != main_window and display.window_name(window) == "Hint":
                display.xdotool("windowactivate", "--sync", window)
                display.xdotool("key", "Escape")
        display.xdotool("windowactivate", "--sync", main_window)

    try:
        for round_number in range(1, options.rounds + 1):
            # On a server, odd rounds kill at a message of the save's transaction, even ones at a moment.
            statement = random.choice(("BEGIN", "UPDATE", "COMMIT")) if options.server and round_number % 2 else None
            process, main_window = start(round_number, statement)
            check(round_number)
            for save in range(1, options.saves + 1):
                subject = f"round {round_number} save {save}"
                new_defect(process, main_window, subject)
                if wait_for(lambda: database.count_subject(subject) == 1, 10):
                    confirmed.append(subject)
                else:
                    display.screenshot(os.path.join(work, f"unsaved-{round_number}-{save}.png"))
                    problems.append(f"round {round_number}: '{subject}' was not saved within 10 s")
                dismiss_hints(process, main_window)
            subject = f"round {round_number} killed"
            if statement:
                open(arm, "w").close()
            new_defect(process, main_window, subject)
            if statement:
                # The program kills itself at the statement; one that never sends it is killed here.
                if wait_for(lambda: process.poll() is not None, 5):
                    killed["at a statement"] += 1
                os.remove(arm)
            elif options.server:
                # The save runs once the question is answered: a few milliseconds on the server.
                time.sleep(random.uniform(0.0, 0.04))
            elif round_number % 2:
                # Inside the write: the journal exists from the save's first write to its commit.
                wait_for(lambda: os.path.exists(path + "-journal"), 2, step=0.0002)
                time.sleep(random.uniform(0.0, 0.004))
            else:
                time.sleep(random.uniform(0.0, 0.08))
            if process.poll() is None:
                os.kill(process.pid, signal.SIGKILL)
            process.wait()
            if os.path.exists(path + "-journal"):
                killed["journal left"] += 1
            if options.server:
                left = database.killed_program_left_nothing(round_number)
                killed["left behind"] += len(left)
                problems.extend(left)
            how = f"at {statement}" if statement else "at a moment"
            if statement:
                how += " (after it went out)" if after_send else " (before it went out)"
            hows.append(how)
            print(f"round {round_number}: {len(confirmed)} confirmed saves so far; killed {how} during '{subject}'"
                  f"{', journal left' if os.path.exists(path + '-journal') else ''}", flush=True)
        # The last start completes what the last kill left, and nothing confirmed may be missing.
        process, _ = start(options.rounds + 1)
        check(options.rounds + 1)
        display.screenshot(os.path.join(work, "last-start.png"))
        for round_number in range(1, options.rounds + 1):
            landed = database.count_subject(f"round {round_number} killed") == 1
            killed["landed" if landed else "rolled back"] += 1
            print(f"round {round_number}: the save killed {hows[round_number - 1]} "
                  f"{'reached the database' if landed else 'did not reach the database'}")
        process.terminate()
        process.wait()
    finally:
        display.close()
        if server is not None:
            server.stop()

    print(f"kill-during-save{' on a server' if options.server else ''}: {options.rounds} kills during a save "
          f"({killed['journal left']} left a journal, {killed['at a statement']} at a statement to the server, "
          f"{killed['left behind']} left a session or lock, "
          f"{killed['landed']} killed saves reached the {'database' if options.server else 'file'}, {killed['rolled back']} did not), "
          f"{len(confirmed)} confirmed saves, {len(problems)} problems, starts that asked something: {asked}")
    for problem in problems:
        print("  " + problem)
    if options.keep or problems:
        print(f"work folder: {work}")
    else:
        shutil.rmtree(work)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
