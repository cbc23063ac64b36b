#!/usr/bin/env python3
"""Kills saving clients of a PostgreSQL database with SIGKILL, round after round, and checks after every
round that each save a client confirmed is in the database once, that no save is half-applied, and that
no session or advisory lock of a dead client is left to block the next open or maintenance.

Each round starts CLIENTS `vellacord-admin defect comment` and `defect status` processes at once, each on
a defect of its own (comments and status changes between "open" and "in progress", each with a text of
its own), and kills most of them: some a random moment after their start, some at a message to the
server (a shim preloaded into them watches libpq's sends: at the N-th message, N random and mostly
among the last, or at the save's BEGIN, UPDATE, INSERT or COMMIT; just before or just after the
message goes out, so that kills land inside the save's transaction and right after COMMIT went out
unanswered). A client that exits 0 confirmed its save.

After each round: no session of a client is left (the server notices a dead client at once), no advisory
lock is held, maintenance could take the database, the next client opens it without a question.
At the end: every confirmed text is in its defect's history exactly once; a killed client's text at
most once; the line of a status change shows the status it asked for; every defect's status is the one
its last history line shows.

With --one-defect all clients change the same defect at once, so that most of them meet another's
save: a client refused because the defect changed since it read it (or its status change no longer
applies) must have written nothing.

Usage: scripts/kill-clients-server.py BUILD_DIR [--rounds 30] [--clients 4] [--one-defect] [--durable]
       [--seed N] [--keep]
Needs the PostgreSQL server programs (postgresql-15), psql and a C compiler. Exit status 0 when
nothing was lost, half-applied or left behind; 77 when no server can be started here.
"""

import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pg_test_server  # noqa: E402

STATUSES = ("open", "in progress")
RECORD = "\x1e"


class Check:
    def __init__(self, server, database):
        self.server = server
        self.database = database

    def histories(self, ids):
        """Each defect's status name and history lines as (status, comment) pairs."""
        rows = self.server.query(self.database, "SELECT d.defect_id, s.status, d.history FROM defectlist d "
                                                "JOIN status s ON s.status_id = d.statusid "
                                                f"WHERE d.defect_id IN ({','.join(map(str, ids))})")
        result = {}
        for key, status, history in rows:
            lines = []
            for line in history.splitlines():
                fields = line.split("\t")
                if len(fields) >= 3:
                    lines.append((fields[1].rsplit(" (", 1)[0], "\t".join(fields[2:])))
            result[int(key)] = (status, lines)
        return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=30)
    parser.add_argument("--clients", type=int, default=4)
    parser.add_argument("--durable", action="store_true", help="a server that syncs every commit")
    parser.add_argument("--keep", action="store_true", help="keep the work folder and the server's log")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--one-defect", action="store_true",
                        help="all clients change the same defect: many are refused as changed since read")
    options = parser.parse_args()
    seed = options.seed if options.seed is not None else random.randrange(1 << 30)
    random.seed(seed)

    admin = os.path.abspath(os.path.join(options.build, "vellacord-admin"))
    try:
        server = pg_test_server.TestServer(durable=options.durable)
    except pg_test_server.Unavailable as reason:
        print(f"kill-clients-server: skipped, no server here: {reason}")
        return 77
    work = tempfile.mkdtemp(prefix="vellacord-kill-server-", dir="/var/tmp")
    home = os.path.join(work, "home")
    os.makedirs(os.path.join(home, "config"))
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), QT_QPA_PLATFORM="offscreen")
    problems = []
    try:
        uri = server.create_database("team")
        check = Check(server, "team")

        def run(*arguments):
            result = subprocess.run([admin, *arguments], env=env, capture_output=True, text=True, timeout=60)
            if result.returncode != 0:
                raise RuntimeError(f"{' '.join(arguments[:2])} failed: {result.stderr.strip()}")
            return result.stdout

        run("create", uri, "--workflow", "standard")
        run("user", "add", uri, "ann", "--name", "Ann", "--admin")
        ids = []
        for client in range(1 if options.one_defect else options.clients):
            ids.append(int(run("defect", "add", uri, "--user", "ann", "--to", "ann", "--subject",
                               f"client {client}").split()[0]))
            run("defect", "status", uri, str(ids[-1]), "--user", "ann", "--to", "open", "--comment", "start")
        shim = pg_test_server.build_send_kill_shim(work)

        texts = {}  # text -> (defect, status asked for or None, outcome)
        counts = {"confirmed": 0, "killed": 0, "refused": 0, "failed": 0, "killed at a send": 0,
                  "killed at a moment": 0}
        stale = {"sessions": 0, "locks": 0, "maintenance blocked": 0}
        durations = []
        sends = []  # messages of whole runs
        for round_number in range(1, options.rounds + 1):
            current = {key: status for key, (status, _) in check.histories(ids).items()}
            clients = []
            for client in range(options.clients):
                defect = ids[client % len(ids)]
                text = f"saved in round {round_number} by client {client}"
                if random.random() < 0.5:
                    asked = None
                    arguments = ["defect", "comment", uri, str(defect), "--user", "ann", "--text", text]
                else:
                    asked = STATUSES[1] if current[defect] == STATUSES[0] else STATUSES[0]
                    arguments = ["defect", "status", uri, str(defect), "--user", "ann", "--to", asked,
                                 "--comment", text]
                how = random.choice(("send", "statement", "moment", "none")) if round_number > 1 else "none"
                client_env = dict(env, LD_PRELOAD=shim)
                if how == "none":
                    client_env["SEND_COUNT_FILE"] = os.path.join(work, f"sends-{client}")
                elif how == "send":
                    # Mostly among the last messages: the save's BEGIN, writes and COMMIT.
                    last = max(sends) if sends else 40
                    at = random.randint(max(1, last - 8), last) if random.random() < 0.7 else random.randint(1, last)
                    client_env["KILL_AT_SEND"] = str(at)
                elif how == "statement":
                    # The save's own transaction: its only BEGIN, its writes, its COMMIT.
                    client_env["KILL_AT_STATEMENT"] = random.choice(("BEGIN", "UPDATE", "INSERT", "COMMIT"))
                if how in ("send", "statement") and random.random() < 0.5:
                    client_env["KILL_AFTER_SEND"] = "1"
                process = subprocess.Popen([admin, *arguments], env=client_env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.PIPE, text=True)
                clients.append((client, process, text, defect, asked, how, time.monotonic()))
            typical = sorted(durations)[len(durations) // 2] if durations else 0.5
            for client, process, text, defect, asked, how, started in clients:
                if how == "moment":
                    delay = random.uniform(0.3, 1.2) * typical - (time.monotonic() - started)
                    if delay > 0:
                        time.sleep(delay)
                    process.send_signal(signal.SIGKILL)
            for client, process, text, defect, asked, how, started in clients:
                _, error = process.communicate(timeout=60)
                if process.returncode == 0:
                    outcome = "confirmed"
                    if how == "none":
                        durations.append(time.monotonic() - started)
                        with open(os.path.join(work, f"sends-{client}")) as file:
                            sends.append(int(file.read()))
                elif process.returncode == -signal.SIGKILL:
                    outcome = "killed"
                    counts["killed at a moment" if how == "moment" else "killed at a send"] += 1
                elif process.returncode == 1 and ("after it was read here; nothing was written" in error or
                                                  "The workflow does not lead from" in error):
                    # Another client's save came between this one's read and its write, or changed
                    # the status before this one read it.
                    outcome = "refused"
                else:
                    outcome = "failed"
                    problems.append(f"round {round_number}: '{text}' failed: {error.strip()}")
                counts[outcome] += 1
                texts[text] = (defect, asked, outcome)

            # The server ends a dead client's session when its socket closes.
            deadline = time.monotonic() + 5
            while server.client_sessions("team") > 0 and time.monotonic() < deadline:
                time.sleep(0.05)
            left = server.client_sessions("team")
            locks = server.advisory_locks("team")
            free = server.maintenance_free("team")
            stale["sessions"] += left
            stale["locks"] += locks
            stale["maintenance blocked"] += 0 if free else 1
            if left or locks or not free:
                problems.append(f"round {round_number}: {left} sessions and {locks} advisory locks left, "
                                f"maintenance {'free' if free else 'blocked'}")
            print(f"round {round_number}: {counts['confirmed']} confirmed, {counts['killed']} killed, "
                  f"{counts['refused']} refused, {counts['failed']} failed so far", flush=True)

        # The next client opens the database without a question and reads every defect.
        for defect in ids:
            shown = subprocess.run([admin, "defect", "show", uri, str(defect), "--user", "ann"], env=env,
                                   capture_output=True, text=True, timeout=60)
            if shown.returncode != 0 or shown.stderr.strip():
                problems.append(f"the next open of defect {defect} said: {shown.stderr.strip()}")

        histories = check.histories(ids)
        landed = {"confirmed": 0, "killed": 0}
        half = 0
        for text, (defect, asked, outcome) in texts.items():
            lines = [status for status, comment in histories[defect][1] if comment == text]
            if outcome == "confirmed" and len(lines) != 1:
                problems.append(f"the confirmed save '{text}' is in the history {len(lines)} times")
            elif outcome == "refused" and lines:
                problems.append(f"the refused save '{text}' is in the history")
            elif len(lines) > 1:
                problems.append(f"the save '{text}' is in the history {len(lines)} times")
            if outcome in landed and lines:
                landed[outcome] += 1
            if asked is not None and lines and lines[0] != asked:
                half += 1
                problems.append(f"the status change '{text}' asked for {asked}, its line says {lines[0]}")
        for defect, (status, lines) in histories.items():
            if not lines or lines[-1][0] != status:
                half += 1
                problems.append(f"defect {defect} is {status}, its last history line says "
                                f"{lines[-1][0] if lines else 'nothing'}")
        lost = counts["confirmed"] - landed["confirmed"]
    finally:
        server_log = os.path.join(server.folder, "server.log")
        if options.keep and os.path.exists(server_log):
            shutil.copy(server_log, work)
        server.stop()

    print(f"kill-clients-server: {options.rounds} rounds of {options.clients} clients "
          f"{'on one defect' if options.one_defect else 'on a defect each'} (seed {seed}), "
          f"{counts['killed']} kills ({counts['killed at a send']} at a message to the server, "
          f"{counts['killed at a moment']} at a random moment; {landed['killed']} killed saves reached the "
          f"database), {counts['confirmed']} confirmed saves, {lost} lost, {half} half-applied, "
          f"{counts['refused']} refused as changed since read, {counts['failed']} failed, stale sessions {stale['sessions']}, stale advisory locks {stale['locks']}, "
          f"maintenance blocked {stale['maintenance blocked']}, problems {len(problems)}")
    for problem in problems:
        print("  " + problem)
    if options.keep or problems:
        print(f"work folder: {work}")
    else:
        shutil.rmtree(work)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
