"""Windows programs under Wine for an end-to-end script: a prefix of the
script's own (with its own user when asked), programs run to their end or
started in the background, and a run on a console as a Windows terminal
would show it. Every prefix's server, and every Wine process under it, is
ended with the session."""

import os
import re
import subprocess

from . import program
from .report import Stop

TOOLS = ("wine", "wineserver", "script")
# What a terminal's escape sequences look like: Wine's console writes them.
_ESCAPES = re.compile(r"\x1b\[[?0-9;]*[a-zA-Z]")


def windows_lines(text):
    """Output as Windows writes it, with its CR LF line ends made LF."""
    return text.replace("\r", "")


class Prefix:
    """A Wine prefix at `path`, made when booted. `env` adds to the
    environment of everything run in it: a user of its own (USER, HOME,
    LANG) makes a profile of that name."""

    def __init__(self, session, path, **env):
        self.session = session
        self.path = path
        self.env = dict(env, WINEPREFIX=path, WINEDEBUG="-all",
                        # No prompts to install Wine's .NET and HTML engines:
                        # nothing here needs them.
                        WINEDLLOVERRIDES="mscoree,mshtml=",
                        # The display's choice of SDL driver is the Linux
                        # game's: the Windows one has no "x11".
                        SDL_VIDEODRIVER=None)
        self.booting = None
        session.on_exit(self.stop)

    def environment(self):
        return program.environment(self.env)

    def boot(self, log):
        """Starts making the prefix in the background; `ready` waits for it.
        Its server is started first with nothing of ours open, so that
        Wine's helper processes keep no pipe of ours open (CTest, for one,
        would wait for them)."""
        os.makedirs(self.path, exist_ok=True)
        if "HOME" in self.env:
            os.makedirs(self.env["HOME"], exist_ok=True)
        with open(self.session.path(log), "wb") as out:
            self.booting = subprocess.Popen(["sh", "-c", "wineserver -p && wine wineboot -i"],
                                            env=self.environment(), stdin=subprocess.DEVNULL, stdout=out,
                                            stderr=subprocess.STDOUT)
        self.boot_log = log

    def ready(self, timeout=300):
        """Waits for the boot begun by `boot`."""
        try:
            status = self.booting.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Stop("the Wine prefix %s was not made within %d s" % (self.path, timeout))
        if status != 0:
            with open(self.session.path(self.boot_log), errors="replace") as f:
                raise Stop("the Wine prefix %s: %s" % (self.path, "\n".join(f.read().splitlines()[-5:])))

    def run(self, argv, cwd, timeout=300):
        """Runs `wine ARGV...` (or a Wine tool such as wineserver when ARGV
        starts with it) to its end; returns (status, output with LF line ends)."""
        if argv[0] not in ("wine", "wineserver"):
            argv = ["wine", *argv]
        try:
            done = subprocess.run(argv, cwd=cwd, env=self.environment(), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Stop("wine %s did not end within %d s" % (os.path.basename(argv[1]), timeout))
        return done.returncode, windows_lines(done.stdout.decode("utf-8", "replace"))

    def start(self, argv, cwd, log, name=None):
        """Starts `wine ARGV...` in the background, its output in LOG.out."""
        return self.session.start(["wine", *argv], log, cwd=cwd, env=self.env, merged=True,
                                  name=name or os.path.basename(argv[0].replace("\\", "/")))

    def console(self, command, cwd, timeout=60):
        """Runs the shell command `command` on a terminal (`script` gives it
        one), so that Wine gives the program a console; returns (status,
        what the terminal showed, escapes and CRs removed)."""
        try:
            done = subprocess.run(["script", "-qec", command, "/dev/null"], cwd=cwd, env=self.environment(),
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Stop("%s did not end on a console within %d s" % (command, timeout))
        return done.returncode, windows_lines(_ESCAPES.sub("", done.stdout.decode("utf-8", "replace")))

    def stop(self):
        """Ends the prefix's server and every Wine process started under it."""
        if self.booting and self.booting.poll() is None:
            try:
                self.booting.wait(120)
            except subprocess.TimeoutExpired:
                self.booting.kill()
        if os.path.isdir(self.path):
            subprocess.run(["wineserver", "-k"], env=self.environment(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
