"""Running the game and its tools for an end-to-end script: a session (a
scratch folder, what to clean up, the report), programs started with their
output kept in that folder, waiting for a program to wait for a key (by its
CPU ticks) and waiting for its end, always against a deadline."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

from .report import Report, Stop, wait_until

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HZ = os.sysconf("SC_CLK_TCK")
# Processes a program's input passes through (the X server): while one of
# them runs, a key may still be on its way, so the program is not idle.
SERVERS = set()


def busy(pid):
    """Whether any thread of the process is running or waiting for the
    processor (or for the disk). A program starved of the processor uses
    little of it, yet is not waiting for a key."""
    try:
        threads = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return False
    for thread in threads:
        try:
            with open("/proc/%d/task/%s/stat" % (pid, thread)) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            continue
        if state in ("R", "D"):
            return True
    return False


def need_tools(name, tools):
    """Exits with status 2 when a tool is missing: the machine, not the
    game, is at fault then."""
    for tool in tools:
        if not shutil.which(tool):
            print("%s: %s is missing (scripts/setup installs it)" % (name, tool), file=sys.stderr)
            sys.exit(2)


def release_build(name, build, targets=("stage", "delve-replay")):
    """The build folder to test: `build` as given, or build/release, made
    with the release preset when its game or replay tool is missing.
    Exits with status 2 when the folder holds no game."""
    if not build:
        build = os.path.join(ROOT, "build", "release")
        if not (os.access(os.path.join(build, "game", "delve"), os.X_OK)
                and os.access(os.path.join(build, "delve-replay"), os.X_OK)):
            subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
            subprocess.run(["cmake", "--build", "--preset", "release", "--target", *targets], cwd=ROOT, check=True)
    build = os.path.realpath(build)
    for program in ("game/delve", "delve-replay"):
        if not os.access(os.path.join(build, program), os.X_OK):
            print("%s: no delve or delve-replay in %s" % (name, build), file=sys.stderr)
            sys.exit(2)
    return build


class Session:
    """One script's run: its scratch folder, its report and what to undo at
    the end (programs, displays, Wine servers), newest first. Used as
    `with Session(...) as s:`; a Stop inside fails the run there. The
    folder is kept when asked or when a check failed."""

    def __init__(self, name, keep=False, summary=True):
        self.name = name
        self.keep = keep
        self.summary = summary
        self.report = Report(name)
        self.work = tempfile.mkdtemp(prefix="delve-%s-" % name, dir=os.environ.get("TMPDIR"))
        self._undo = []
        self.status = None

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def on_exit(self, undo):
        self._undo.append(undo)
        return undo

    def __enter__(self):
        return self

    def __exit__(self, kind, error, trace):
        if isinstance(error, SystemExit):
            pass  # a usage or machine problem, said where it was raised
        elif isinstance(error, Stop):
            self.report.fail(str(error))
        elif isinstance(error, KeyboardInterrupt):
            self.report.fail("interrupted")
        elif error is not None:
            traceback.print_exception(kind, error, trace)
            self.report.fail("%s: %s" % (kind.__name__, error))
        for undo in reversed(self._undo):
            try:
                undo()
            except Exception as problem:  # the rest must still be undone
                print("%s: cleaning up: %s" % (self.name, problem), file=sys.stderr)
        self._undo.clear()
        if self.keep or self.report.failures:
            print("%s: kept %s" % (self.name, self.work), flush=True)
        else:
            shutil.rmtree(self.work, ignore_errors=True)
        if isinstance(error, SystemExit):
            return False
        self.status = self.report.summary() if self.summary else (1 if self.report.failures else 0)
        return True

    def copy_data(self, game, name):
        """A data folder of its own at `name` in the scratch folder: the
        game's res/ and tiles/, which gains recordings/ as games are played."""
        folder = self.path(name)
        os.makedirs(folder, exist_ok=True)
        for part in ("res", "tiles"):
            shutil.copytree(os.path.join(game, part), os.path.join(folder, part))
        return folder

    def run(self, argv, cwd=None, env=None, timeout=600, log=None):
        """Runs a program to its end; returns (status, its output). With
        `log`, stdout and stderr go to LOG.out and LOG.err in the scratch
        folder and the output returned is stderr."""
        full_env = environment(env)
        try:
            if log:
                with open(self.path(log + ".out"), "wb") as out, open(self.path(log + ".err"), "wb") as err:
                    done = subprocess.run(argv, cwd=cwd, env=full_env, stdin=subprocess.DEVNULL,
                                          stdout=out, stderr=err, timeout=timeout)
                return done.returncode, read_text(self.path(log + ".err"))
            done = subprocess.run(argv, cwd=cwd, env=full_env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Stop("%s did not end within %.0f s" % (os.path.basename(argv[0]), timeout))
        return done.returncode, done.stdout.decode("utf-8", "replace")

    def start(self, argv, log, cwd=None, env=None, merged=False, name=None):
        """Starts a program in the background, its output in LOG.out and
        LOG.err (both in LOG.out when `merged`); it is killed at the end of
        the session if still running."""
        program = Program(self, argv, log, cwd, env, merged, name)
        self.on_exit(program.kill)
        return program

    def start_game(self, delve, data, args=(), log="game", env=None):
        """The game on the data folder `data`, started from that folder (so
        that nothing it writes lands elsewhere)."""
        # A sanitizer build would report the display libraries' own
        # leftovers at exit; leaks in the game's code are the soak's to find.
        game_env = {"ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", "detect_leaks=0")}
        game_env.update(env or {})
        return self.start([delve, "--data", data, *args], log, cwd=data, env=game_env)


def environment(changes):
    """This process's environment with `changes`, where None removes a name."""
    env = dict(os.environ)
    for name, value in (changes or {}).items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return env


def read_text(path, last_lines=None):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return ""
    if last_lines:
        text = "\n".join(text.splitlines()[-last_lines:])
    return text.strip()


class Program:
    """A program running in the background."""

    def __init__(self, session, argv, log, cwd=None, env=None, merged=False, name=None):
        self.session = session
        self.log = log
        self.name = name or os.path.basename(argv[0])
        self.started_ns = time.time_ns()
        with open(session.path(log + ".out"), "wb") as out, open(session.path(log + ".err"), "wb") as err:
            self.process = subprocess.Popen(argv, cwd=cwd, env=environment(env),
                                            stdin=subprocess.DEVNULL, stdout=out,
                                            stderr=subprocess.STDOUT if merged else err)
        self.pid = self.process.pid
        self.status = None

    def err(self, last_lines=None):
        return read_text(self.session.path(self.log + ".err"), last_lines)

    def out(self, last_lines=None):
        return read_text(self.session.path(self.log + ".out"), last_lines)

    def alive(self):
        if self.status is None:
            self.status = self.process.poll()
        return self.status is None

    def ticks(self):
        """CPU time used so far (user and system), in clock ticks."""
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            raise Stop("%s ended early: %s" % (self.name, self.err(3)))
        return int(fields[11]) + int(fields[12])

    def must_run(self):
        if not self.alive():
            raise Stop("%s ended early with status %s: %s" % (self.name, self.status, self.err(3)))

    def cpu_use(self, seconds):
        """The share of a core used over the next `seconds`."""
        self.must_run()
        before = self.ticks()
        time.sleep(seconds)
        self.must_run()
        return (self.ticks() - before) / HZ / seconds

    def idle_for(self, span):
        """Whether, over the next `span` seconds, the program used under a
        tenth of a core and, each time it was looked at, neither it nor an
        X server was running or waiting to run."""
        self.must_run()
        before = self.ticks()
        end = time.monotonic() + span
        quiet = True
        while time.monotonic() < end:
            if busy(self.pid) or any(busy(server) for server in SERVERS):
                quiet = False
            time.sleep(0.02)
        self.must_run()
        return quiet and (self.ticks() - before) / HZ / span < 0.1

    def wait_idle(self, span=0.5, timeout=60):
        """Waits until the program has been idle (see idle_for) for `span`
        seconds: it then waits for a key, as a player's next key would find
        it, on a busy machine as on a quiet one."""
        wait_until(lambda: self.idle_for(span), "%s settling to wait for a key" % self.name, timeout, interval=0)

    def wait_end(self, timeout=10, what=None):
        """Waits for the program to end; returns its exit status."""
        try:
            self.status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Stop("%s did not end %swithin %.0f s"
                       % (self.name, "after %s " % what if what else "", timeout))
        return self.status

    def signal(self, number):
        if self.alive():
            self.process.send_signal(number)

    def kill(self):
        """Ends it at once (SIGKILL), as a crash or a power cut would."""
        if self.alive():
            self.process.kill()
        self.status = self.process.wait()


def turns_of(recording):
    """The turn of a recording's last key line."""
    turn = None
    with open(recording, encoding="utf-8", errors="replace") as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 2 and fields[0] == "k":
                turn = fields[1]
    return turn


def signal_number(name):
    return getattr(signal, "SIG" + name)
