"""The X side of an end-to-end script: a virtual display (Xvfb) with a
window manager, as a player's desktop has one (it decorates, focuses and
places windows, grants full screen and passes on the close button), a
program's window found on it, keys and clicks typed into that window with
xdotool, its picture taken with ImageMagick and compared pixel for pixel,
the close button's request, and the moment a picture first shows.

Talks to the X server itself through libX11 and ctypes where the tools
cannot: nothing beyond python3 and the X library the game already links."""

import ctypes
import ctypes.util
import os
import re
import select
import subprocess
import time

from . import program
from .report import Stop, wait_until

TOOLS = ("Xvfb", "xdotool", "import", "compare", "convert", "identify", "openbox")


# --- libX11 through ctypes ---------------------------------------------------

class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    # XEvent is padded to 24 longs.
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


class _XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
    ]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
# A window that goes away between two looks is no reason to stop.
_ignore_errors = _ERROR_HANDLER(lambda display, event: 0)
_x11 = None


def _lib():
    global _x11
    if _x11 is None:
        try:
            x11 = ctypes.CDLL("libX11.so.6")
        except OSError:
            x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        vp, ul = ctypes.c_void_p, ctypes.c_ulong
        x11.XOpenDisplay.restype = vp
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XCloseDisplay.argtypes = [vp]
        x11.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
        x11.XDefaultRootWindow.restype = ul
        x11.XDefaultRootWindow.argtypes = [vp]
        x11.XInternAtom.restype = ul
        x11.XInternAtom.argtypes = [vp, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [vp, ul, ctypes.c_int, ctypes.c_long, ctypes.POINTER(_Event)]
        x11.XFlush.argtypes = [vp]
        x11.XSync.argtypes = [vp, ctypes.c_int]
        x11.XQueryTree.argtypes = [vp, ul, ctypes.POINTER(ul), ctypes.POINTER(ul),
                                   ctypes.POINTER(ctypes.POINTER(ul)), ctypes.POINTER(ctypes.c_uint)]
        x11.XGetWindowProperty.argtypes = [vp, ul, ul, ctypes.c_long, ctypes.c_long, ctypes.c_int, ul,
                                           ctypes.POINTER(ul), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ul),
                                           ctypes.POINTER(ul), ctypes.POINTER(ctypes.c_void_p)]
        x11.XGetImage.restype = ctypes.POINTER(_XImage)
        x11.XGetImage.argtypes = [vp, ul, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint, ul,
                                  ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        x11.XFree.argtypes = [vp]
        x11.XSetErrorHandler(_ignore_errors)
        _x11 = x11
    return _x11


class _Connection:
    """One connection to the display named by $DISPLAY."""

    def __init__(self):
        self.x11 = _lib()
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            raise Stop("cannot open the display %s" % os.environ.get("DISPLAY"))
        self.root = self.x11.XDefaultRootWindow(self.display)

    def __enter__(self):
        return self

    def __exit__(self, *error):
        self.x11.XCloseDisplay(self.display)

    def atom(self, name):
        return self.x11.XInternAtom(self.display, name.encode(), 0)

    def cardinal(self, window, name):
        """The first 32-bit value of a window's property, or None."""
        ul = ctypes.c_ulong
        kind, fmt, n, after, prop = ul(), ctypes.c_int(), ul(), ul(), ctypes.c_void_p()
        if self.x11.XGetWindowProperty(self.display, window, self.atom(name), 0, 1, 0, 0, ctypes.byref(kind),
                                       ctypes.byref(fmt), ctypes.byref(n), ctypes.byref(after),
                                       ctypes.byref(prop)) != 0 or not prop.value:
            return None
        value = ctypes.cast(prop, ctypes.POINTER(ctypes.c_ulong))[0] if n.value >= 1 and fmt.value == 32 else None
        self.x11.XFree(prop)
        return value

    def children(self, window):
        ul = ctypes.c_ulong
        root_out, parent, children, count = ul(), ul(), ctypes.POINTER(ul)(), ctypes.c_uint()
        if not self.x11.XQueryTree(self.display, window, ctypes.byref(root_out), ctypes.byref(parent),
                                   ctypes.byref(children), ctypes.byref(count)):
            return []
        found = [children[i] for i in range(count.value)]
        if children:
            self.x11.XFree(children)
        return found

    def window_of_pid(self, pid):
        """The window whose _NET_WM_PID is `pid`: a child of the root, or
        under a window manager's frame a child of a child."""
        for top in self.children(self.root):
            if self.cardinal(top, "_NET_WM_PID") == pid:
                return top
            for inner in self.children(top):
                if self.cardinal(inner, "_NET_WM_PID") == pid:
                    return inner
        return None

    def pixels(self, window, width, height):
        """The window's top-left width x height, as the server's 32-bit
        pixels with the unused byte zeroed, or None."""
        image = self.x11.XGetImage(self.display, window, 0, 0, width, height, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return None
        im = image.contents
        shown = None
        if im.bits_per_pixel == 32 and im.bytes_per_line == width * 4:
            shown = bytearray(ctypes.string_at(im.data, width * height * 4))
            shown[3::4] = bytes(width * height)
        self.x11.XDestroyImage(image)
        return shown


def close_request(window):
    """Asks a window to close the way a desktop's close button does: a
    WM_DELETE_WINDOW client message of the WM_PROTOCOLS type (xdotool's
    windowclose would destroy the window instead)."""
    with _Connection() as x:
        event = _Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x.atom("WM_PROTOCOLS")
        event.xclient.format = 32
        event.xclient.data[0] = x.atom("WM_DELETE_WINDOW")
        event.xclient.data[1] = 0  # CurrentTime
        sent = x.x11.XSendEvent(x.display, window, 0, 0, ctypes.byref(event))
        x.x11.XFlush(x.display)
    if not sent:
        raise Stop("could not send the close request")


def raw_picture(png, work):
    """A PNG as the server's 32-bit pixels (B, G, R and a zero byte), made
    ahead so that looking for it costs no time later."""
    rgb_path = os.path.join(work, os.path.basename(png) + ".rgb")
    subprocess.run(["convert", png, "-depth", "8", "rgb:" + rgb_path], check=True)
    with open(rgb_path, "rb") as f:
        rgb = f.read()
    expected = bytearray(len(rgb) // 3 * 4)
    expected[0::4], expected[1::4], expected[2::4] = rgb[2::3], rgb[1::3], rgb[0::3]
    return bytes(expected)


def first_picture(program, expected, width, height, since_ns, timeout=20, interval=0.003):
    """Waits until the program's window shows the raw picture `expected`
    (see raw_picture); returns (window id, milliseconds since `since_ns`).
    The window is looked at every `interval` seconds straight from the X
    server, so the time is that of the picture, not of tools looking; a
    check with no use for the time looks less often, and leaves the
    processor to the game."""
    if len(expected) != width * height * 4:
        raise ValueError("the expected picture is not %d x %d" % (width, height))
    deadline = time.monotonic() + timeout
    found = None
    with _Connection() as x:
        while time.monotonic() < deadline:
            # Looked for again whenever it shows nothing: SDL may destroy the
            # window it made first and make another (for its renderer), and
            # one found in between would otherwise be watched for ever.
            found = found or x.window_of_pid(program.pid)
            if found:
                shown = x.pixels(found, width, height)
                now = time.time_ns()
                if shown == expected:
                    return Window(found), (now - since_ns) // 1_000_000
                if shown is None:
                    found = None
            elif not program.alive():
                break
            time.sleep(interval)
        # The window it has now, if any, to show what it shows instead.
        window = x.window_of_pid(program.pid)
    if not program.alive():
        raise Stop("%s ended with status %s before it showed the picture: %s"
                   % (program.name, program.status, program.err(3)))
    seen = "no window"
    if window:
        # What it showed instead, for whoever looks into the failure.
        shot = os.path.join(program.session.work, "not-the-picture.png")
        try:
            Window(window).screenshot(shot)
        except Stop as problem:
            shot = str(problem)
        seen = "the window shows %s" % shot
    raise Stop("%s did not show the picture within %.0f s (%s): %s"
               % (program.name, timeout, seen, program.err(3)))


# --- pictures ----------------------------------------------------------------

def differing_pixels(a, b, difference=None):
    """How many pixels of two pictures differ (ImageMagick's compare), the
    differences drawn into `difference` when given. Pictures of different
    sizes differ in every pixel: compare would look for the smaller inside
    the larger and could find it there."""
    sizes = []
    for picture in (a, b):
        done = subprocess.run(["identify", "-format", "%w %h", picture], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
        if done.returncode != 0:
            raise Stop("identify %s: %s" % (os.path.basename(picture), done.stderr.decode(errors="replace").strip()))
        width, height = map(int, done.stdout.split()[:2])
        sizes.append((width, height))
    if sizes[0] != sizes[1]:
        return max(w * h for w, h in sizes)
    done = subprocess.run(["compare", "-metric", "AE", a, b, difference or "null:"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    said = done.stderr.decode(errors="replace").strip()
    match = re.match(r"^([0-9.e+]+)", said)
    if done.returncode > 1 or not match:
        raise Stop("compare %s %s: %s" % (os.path.basename(a), os.path.basename(b), said))
    return int(float(match.group(1)))


# --- the display -------------------------------------------------------------

def _xdotool(*args, timeout=20):
    try:
        done = subprocess.run(["xdotool", *map(str, args)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        raise Stop("xdotool %s did not end within %d s" % (args[0], timeout))
    return done.returncode, done.stdout.decode(errors="replace")


class Display:
    """A virtual display on a number it picks itself, with openbox on it
    unless `wm` is False. Once started it is $DISPLAY for this process and
    everything it starts; it ends with the session."""

    def __init__(self, session, width, height, wm=True):
        self.session = session
        self.size = (width, height)
        self.wm = None
        self.xvfb = None
        read_end, write_end = os.pipe()
        log = open(session.path("xvfb.log"), "ab")
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        os.close(write_end)
        log.close()
        session.on_exit(self.stop)
        number = b""
        deadline = time.monotonic() + 10
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 0.1)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip():
            raise Stop("Xvfb did not start: %s" % open(session.path("xvfb.log"), errors="replace").read())
        self.name = ":" + number.decode().strip()
        program.SERVERS.add(self.xvfb.pid)
        os.environ["DISPLAY"] = self.name
        os.environ["SDL_VIDEODRIVER"] = "x11"
        os.environ.pop("WAYLAND_DISPLAY", None)
        if wm:
            self.start_wm()

    def start_wm(self):
        """Starts openbox and waits until it manages the screen."""
        log = open(self.session.path("openbox.log"), "ab")
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()

        def managing():
            if self.wm.poll() is not None:
                raise Stop("openbox ended at once: %s" % open(self.session.path("openbox.log")).read())
            with _Connection() as x:
                return x.cardinal(x.root, "_NET_SUPPORTING_WM_CHECK") is not None
        wait_until(managing, "openbox managing the screen", 10)

    def stop(self):
        program.SERVERS.discard(self.xvfb.pid)
        for process in (self.wm, self.xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()

    def window_of(self, program, timeout=20):
        """The program's visible window, once it has one."""
        def shown():
            program.must_run()
            status, out = _xdotool("search", "--onlyvisible", "--pid", program.pid)
            return out.split()[0] if status == 0 and out.split() else None
        return Window(int(wait_until(shown, "a window of %s" % program.name, timeout, 0.1)))

    def new_window(self, classname, program, timeout=60):
        """The visible window of the class `classname` (Wine's windows carry
        no PID to look for; the game is the only program here that opens one)."""
        def shown():
            if not program.alive():
                raise Stop("%s ended with status %s before it opened a window: %s"
                           % (program.name, program.status, program.out(5)))
            status, out = _xdotool("search", "--onlyvisible", "--classname", classname)
            return out.split()[0] if status == 0 and out.split() else None
        return Window(int(wait_until(shown, "a %s window" % classname, timeout, 0.2)))

    def screenshot(self, path):
        """The whole screen."""
        subprocess.run(["import", "-window", "root", path], stdin=subprocess.DEVNULL, check=True, timeout=30)

    def game(self, program, timeout=20):
        """The game's window made ready for keys: found, the pointer in its
        middle (where a player's would be) and focused; then waits until
        the game waits for a key."""
        window = self.window_of(program, timeout)
        window.pointer(480, 360)
        window.focus()
        program.wait_idle()
        return window


class Window:
    def __init__(self, id):
        self.id = id

    def __str__(self):
        return str(self.id)

    def geometry(self):
        """Its size as "WIDTHxHEIGHT"."""
        status, out = _xdotool("getwindowgeometry", self.id)
        match = re.search(r"Geometry: (\S+)", out)
        if status != 0 or not match:
            raise Stop("the window %s has no geometry: %s" % (self.id, out.strip()))
        return match.group(1)

    def name(self):
        status, out = _xdotool("getwindowname", self.id)
        return out.rstrip("\n") if status == 0 else ""

    def focus(self):
        """Makes it the window keys go to: activated through the window
        manager when there is one, focused directly when not."""
        status, _ = _xdotool("windowactivate", "--sync", self.id, timeout=10)
        if status != 0:
            _xdotool("windowfocus", "--sync", self.id, timeout=10)

    def key(self, *names):
        """Keys by their X names ("x", "space", "Escape", "alt+Return"), as X
        key events through the XTEST extension, to the focused window."""
        _xdotool("key", *names)

    def type(self, text, delay=0):
        """Text, one key per character, `delay` milliseconds apart."""
        _xdotool("type", "--delay", delay, "--", text)

    def press(self, char):
        """One character as a player would type it."""
        names = {" ": "space", "\r": "Return", "\x1b": "Escape"}
        if char in names:
            self.key(names[char])
        else:
            self.type(char)

    def pointer(self, x, y):
        _xdotool("mousemove", "--window", self.id, x, y)

    def click(self, x, y):
        _xdotool("mousemove", "--window", self.id, x, y, "click", 1)

    def screenshot(self, path):
        # import asks for a window to be clicked when the one named is
        # gone, and would wait for that click for ever.
        try:
            done = subprocess.run(["import", "-window", str(self.id), path], stdin=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, timeout=30)
        except subprocess.TimeoutExpired:
            raise Stop("import -window %s did not end within 30 s" % self.id)
        if done.returncode != 0:
            raise Stop("import -window %s: %s" % (self.id, done.stderr.decode(errors="replace").strip()))

    def close_request(self):
        close_request(self.id)

    def wait_title(self, text, timeout):
        """Waits for its title to contain `text`. A window may carry its title
        twice (UTF-8 and a legacy encoding, which cannot hold every title),
        so a search by name is asked as well."""
        last = [""]

        def shown():
            last[0] = self.name()
            if text in last[0]:
                return True
            status, out = _xdotool("search", "--name", text)
            return status == 0 and str(self.id) in out.split()
        try:
            wait_until(shown, "the title", timeout, 0.2)
        except Stop:
            raise Stop('the window title never showed "%s" (last: "%s")' % (text, last[0]))

    def wait_picture(self, expected, work, timeout=30):
        """Waits for it to show exactly the picture `expected` (a PNG)."""
        shot = os.path.join(work, "window.png")
        difference = os.path.join(work, "difference.png")
        differing = [None]

        def same():
            try:
                self.screenshot(shot)
            except Stop:
                return False
            differing[0] = differing_pixels(shot, expected, difference)
            return differing[0] == 0
        try:
            wait_until(same, "the picture", timeout, 0.3)
        except Stop:
            raise Stop("the window differs from %s in %s pixels (see %s)"
                       % (os.path.basename(expected), differing[0], difference))
