"""A throwaway PostgreSQL server for the scripts: initdb and pg_ctl in a folder of its own, on a Unix socket
there, run as the system's postgres user when the script runs as root (initdb refuses root)."""

import glob
import os
import shutil
import subprocess
import tempfile


class Unavailable(Exception):
    """No server can run here: the programs are missing or the server did not start."""


def server_binaries():
    """The newest installed server's programs, or None."""
    for folder in sorted(glob.glob("/usr/lib/postgresql/*/bin"), key=lambda path: int(path.split("/")[-2]),
                         reverse=True):
        if os.path.exists(os.path.join(folder, "initdb")) and os.path.exists(os.path.join(folder, "pg_ctl")):
            return folder
    return None


class TestServer:
    # The session advisory lock that maintenance takes exclusively and every workstation shares.
    PRESENCE_LOCK = 1986356332

    def __init__(self, durable=False):
        self.bin = server_binaries()
        if self.bin is None:
            raise Unavailable("the PostgreSQL server programs are not installed (postgresql-15)")
        if shutil.which("psql") is None:
            raise Unavailable("psql is not installed (postgresql-client-15)")
        # Short, under /tmp: a Unix socket's path may not be longer than about 100 bytes.
        self.folder = tempfile.mkdtemp(prefix="vellacord-pg-", dir="/tmp")
        self.root = os.geteuid() == 0
        if self.root:
            shutil.chown(self.folder, "postgres")
        self.data = os.path.join(self.folder, "data")
        self.started = False
        self._run("initdb", "--no-sync", "-A", "trust", "-U", "postgres", "-E", "UTF8", "--locale=C.UTF-8",
                  "-D", self.data)
        # A durable server syncs each commit as a production one does; clients' commits then take
        # long enough that a kill lands inside them.
        options = f"-k {self.folder} -c listen_addresses= -c max_connections=100"
        if not durable:
            options += " -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
        self._run("pg_ctl", "-D", self.data, "-o", options, "-l", os.path.join(self.folder, "server.log"), "-w",
                  "start")
        self.started = True

    def _run(self, program, *arguments):
        command = [os.path.join(self.bin, program), *arguments]
        if self.root:
            command = ["runuser", "-u", "postgres", "--", *command]
        result = subprocess.run(command, capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise Unavailable(f"{program} failed: {result.stdout}{result.stderr}")

    def uri(self, database):
        return f"postgresql:///{database}?host={self.folder}&user=postgres"

    def query(self, database, sql):
        """The rows of `sql` as lists of texts (NULL reads as an empty text), through psql; the separators
        are control characters, so that texts may hold tabs and line ends."""
        result = subprocess.run(["psql", "-X", "-q", "-At", "-F", "\x1f", "-R", "\x1e", "-v", "ON_ERROR_STOP=1", "-h", self.folder,
                                 "-U", "postgres", "-d", database, "-c", sql],
                                capture_output=True, text=True, timeout=120,
                                env=dict(os.environ, PGOPTIONS="-c search_path=vellacord,public,pg_catalog"))
        if result.returncode != 0:
            raise RuntimeError(f"psql: {result.stderr.strip()}")
        return [record.split("\x1f") for record in result.stdout.rstrip("\n").split("\x1e") if record]

    def create_database(self, name):
        self.query("postgres", f"CREATE DATABASE {name}")
        return self.uri(name)

    def client_sessions(self, database):
        """Sessions of clients on `database` other than the asking one."""
        return int(self.query(database, "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                                        "AND backend_type = 'client backend' AND pid <> pg_backend_pid()")[0][0])

    def advisory_locks(self, database):
        return int(self.query(database, "SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' "
                                        "AND database = (SELECT oid FROM pg_database "
                                        "WHERE datname = current_database())")[0][0])

    def maintenance_free(self, database):
        """Whether maintenance could take the database now; the lock ends with the asking session."""
        return self.query(database, f"SELECT pg_try_advisory_lock({self.PRESENCE_LOCK})")[0][0] == "t"

    def stop(self):
        if self.started:
            self._run("pg_ctl", "-D", self.data, "-m", "immediate", "stop")
            self.started = False
        shutil.rmtree(self.folder, ignore_errors=True)


# Kills the program at a message to the server: libpq sends each batch of messages with one send().
# KILL_AT_SEND=N: at the N-th send. KILL_AT_STATEMENT=WORD: at the first send of a statement that
# begins with WORD (a simple query, or the parse of a prepared one), once the file KILL_ARM_FILE
# exists. KILL_AFTER_SEND: just after the message went out instead of just before.
# SEND_COUNT_FILE: where a run that was not killed writes how many sends it made.
SEND_KILL_SOURCE = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
static long sends;
static int begins(const char* buffer, size_t length, const char* word)
{
    /* 'Q', a length, the text; or 'P', a length, the statement's name, the text. */
    size_t start = 5;
    if (length > 5 && buffer[0] == 'P')
        start += strnlen(buffer + 5, length - 5) + 1;
    else if (length <= 5 || buffer[0] != 'Q')
        return 0;
    while (start < length && (buffer[start] == ' ' || buffer[start] == '\t' || buffer[start] == '\n'))
        ++start;
    return length - start >= strlen(word) && strncasecmp(buffer + start, word, strlen(word)) == 0;
}
ssize_t send(int fd, const void* buffer, size_t length, int flags)
{
    static ssize_t (*real)(int, const void*, size_t, int);
    if (!real) real = dlsym(RTLD_NEXT, "send");
    const char* at = getenv("KILL_AT_SEND");
    const char* word = getenv("KILL_AT_STATEMENT");
    const char* arm = getenv("KILL_ARM_FILE");
    const int after = getenv("KILL_AFTER_SEND") != NULL;
    ++sends;
    const int due = (at != NULL && sends == atol(at)) ||
        (word != NULL && begins(buffer, length, word) && (arm == NULL || access(arm, F_OK) == 0));
    if (due && !after) raise(SIGKILL);
    ssize_t sent = real(fd, buffer, length, flags);
    if (due) raise(SIGKILL);
    return sent;
}
/* Programs a client starts inherit the shim; they send nothing to the server. */
__attribute__((destructor)) static void count(void)
{
    const char* path = getenv("SEND_COUNT_FILE");
    FILE* file = path != NULL && sends > 0 ? fopen(path, "w") : NULL;
    if (file) { fprintf(file, "%ld\n", sends); fclose(file); }
}
"""


def build_send_kill_shim(work):
    source = os.path.join(work, "sendkill.c")
    library = os.path.join(work, "sendkill.so")
    with open(source, "w") as file:
        file.write(SEND_KILL_SOURCE)
    subprocess.run(["cc", "-shared", "-fPIC", "-o", library, source, "-ldl"], check=True)
    return library
