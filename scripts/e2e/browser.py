"""The browsers the page is tested in, and what the tests do with them: run
JavaScript, wait for a condition with a deadline, read the console's
errors, and hold the canvas against delve-replay's screenshot of the same
keys.

Three engines stand behind one small interface (`Browser`, started by
`start`): Chromium through chromedriver, WebKitGTK through its WebDriver
(both `e2e.classic`), Firefox through WebDriver BiDi (`e2e.firefox`), all
Debian's. The page's Chromium-only checks (they use its DevTools protocol)
take the selenium driver itself, from `start_browser` or `Browser.driver`."""

import base64
import importlib.util
import os
import struct
import subprocess
import zlib

from e2e.report import Stop, wait_until

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
WEBKIT_DRIVER = "/usr/bin/WebKitWebDriver"
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
FIREFOX = "/usr/bin/firefox-esr"
ENGINES = ("chromium", "webkit", "firefox")
# What each engine needs: programs, then Python modules.
NEEDS = {"chromium": ((CHROMIUM, CHROMEDRIVER), ("selenium",)),
         "webkit": ((WEBKIT_DRIVER, MINIBROWSER, "/usr/bin/Xvfb"), ("selenium",)),
         "firefox": ((FIREFOX,), ("websocket",))}
MODULE_PACKAGES = {"selenium": "python3-selenium", "websocket": "python3-websocket"}


def missing(engine="chromium"):
    """What the engine's tests need and this machine lacks, as one line; None when all is there."""
    programs, modules = NEEDS[engine]
    for path in programs:
        if not os.access(path, os.X_OK):
            return "%s is missing (scripts/setup installs it)" % path
    for module in modules:
        if importlib.util.find_spec(module) is None:
            return "%s is missing (scripts/setup installs it)" % MODULE_PACKAGES[module]
    return None


class Unsupported(Exception):
    """What an engine cannot do for a test, and why: the check that needs it
    is skipped, saying so."""


class Browser:
    """One engine's browser on one profile folder, as the page's checks
    drive it in every engine. Started again on the same profile, it is
    the same browser restarted: what the page kept is there.

    execute_script(script, *args): runs a function body (`arguments`,
    `return`; a returned promise is awaited) in the current tab; the
    result as JSON gives it back.
    execute_async_script(script, *args): the same, the body handed a
    callback as its last argument, as selenium does.
    open(url): loads it and waits for the load.
    keys(text): each character a key press through the engine's input
    ("\\r" Enter, "\\x1b" Escape, "\\b" Backspace).
    click(css): a mouse click at the middle of the element.
    tap(x, y): one finger's tap at CSS pixels of the viewport.
    set_viewport(width, height): the page's innerWidth and innerHeight.
    phone(width, height): a phone's screen of that size, as near as the
    engine comes to one.
    new_tab(), switch_to(tab), close_tab(): tabs, each a handle.
    choose_file(css, path): the file picked in an <input type=file>.
    console_errors(): the console's errors since the last call.
    quit(): the browser closed, its profile written.
    restart(): quit, and the same engine started again on the profile.
    What an engine lacks raises Unsupported with the reason."""

    name = ""
    version = ""
    driver = None  # the selenium driver, where there is one

    def __init__(self, profile, width, height):
        self.profile = profile
        self.size = (width, height)

    def restart(self):
        self.quit()
        self.__init__(self.profile, *self.size)

    def tap(self, x, y):
        raise Unsupported("%s gives a test no touch input" % self.name)

    def console_errors(self):
        raise Unsupported("%s gives a test no console" % self.name)

    def __repr__(self):
        return "%s %s" % (self.name, self.version)


def start(engine, profile, width=1200, height=1000):
    """A browser of `engine` (one of ENGINES) on the profile folder, its
    viewport width x height CSS pixels."""
    if engine == "firefox":
        from e2e.firefox import Firefox
        return Firefox(profile, width, height)
    from e2e import classic
    return classic.Chromium(profile, width, height) if engine == "chromium" else classic.WebKit(profile, width, height)


def start_browser(profile, width=1200, height=1000, flags=()):
    """A headless Chromium on its own profile folder, with `flags` besides
    the usual ones; a profile used before is that browser started again."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=%d,%d" % (width, height),
                 "--force-device-scale-factor=1"):
        options.add_argument(flag)
    for flag in flags:
        options.add_argument(flag)
    options.add_argument("--user-data-dir=" + profile)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


def js(driver, script, *args):
    return driver.execute_script(script, *args)


def wait_for(driver, condition, what, timeout=20.0, state=None):
    """Polls a JavaScript expression until it is true; raises Stop naming
    `what` (and the page's `state`, a JavaScript expression, if given) once
    `timeout` seconds pass first."""
    try:
        wait_until(lambda: js(driver, "return !!(" + condition + ");"), what, timeout, 0.02)
    except Stop as error:
        if state is None:
            raise
        raise Stop("%s (page %s)" % (error, js(driver, "return " + state + ";")))


def console_errors(driver):
    """The browser console's errors since the last call."""
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def check_console(report, driver, phase):
    errors = console_errors(driver)
    report.check(not errors, "no console errors %s" % phase,
                 "console errors %s: %s" % (phase, "; ".join(errors)))


# The canvas's pixels as the page holds them, in base64: what getImageData
# reads is the same bytes in every engine, where an engine's PNG encoder
# might not be.
CANVAS_PIXELS = """
    var c = document.getElementById(arguments[0]);
    var bytes = c.getContext('2d').getImageData(0, 0, c.width, c.height).data, text = '';
    for (var i = 0; i < bytes.length; i += 32768) {
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 32768));
    }
    return [c.width, c.height, btoa(text)];"""


def png_bytes(width, height, rgba):
    """An RGB PNG of RGBA pixels (their alpha left out: the game draws opaque)."""
    rgb = bytearray(rgba)
    del rgb[3::4]
    rows = b"".join(b"\0" + rgb[at:at + width * 3] for at in range(0, width * height * 3, width * 3))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


def canvas_png(driver, path, canvas_id="screen"):
    """The canvas's pixels as a PNG file; a pixel not opaque fails, as it
    would show the page behind it."""
    width, height, data = js(driver, CANVAS_PIXELS, canvas_id)
    rgba = base64.b64decode(data)
    if any(alpha != 255 for alpha in rgba[3::4]):
        raise Stop("the canvas %r is not opaque" % canvas_id)
    with open(path, "wb") as out:
        out.write(png_bytes(width, height, rgba))


def differing_pixels(a, b, difference):
    """How many pixels differ between two pictures, as ImageMagick's compare
    says it ("0" when none; its complaint when it cannot compare them)."""
    # compare finds a smaller picture inside a larger one and says 0.
    sizes = [subprocess.run(["identify", "-format", "%wx%h", path], capture_output=True, text=True).stdout
             for path in (a, b)]
    if sizes[0] != sizes[1]:
        return "all (the pictures are %s and %s)" % tuple(size or "unreadable" for size in sizes)
    result = subprocess.run(["compare", "-metric", "AE", a, b, difference],
                            capture_output=True, text=True)
    return result.stderr.strip()


def replay_screenshot(tool, game, keys, seed, path, trace=None):
    """delve-replay's screenshot after `keys` on the game folder `game`."""
    command = [tool, "--dir", game, "--screenshot", path]
    if seed is not None:
        command += ["--seed", str(seed)]
    if trace:
        command += ["--trace", trace]
    keys_file = path + ".keys"
    with open(keys_file, "wb") as out:
        out.write(keys.encode("latin-1"))
    command += ["--keys-file", keys_file]
    subprocess.run(command, check=True)


def compare_with_replay(report, driver, tool, game, work, keys, seed, name):
    """Checks the canvas against delve-replay's screenshot after the same
    keys, pixel for pixel; both pictures and their difference stay in `work`."""
    page = os.path.join(work, name + "-page.png")
    expected = os.path.join(work, name + "-replay.png")
    canvas_png(driver, page)
    replay_screenshot(tool, game, keys, seed, expected)
    differing = differing_pixels(page, expected, os.path.join(work, name + "-difference.png"))
    return report.check(differing == "0",
                        "%s: the canvas equals delve-replay's screenshot pixel for pixel" % name,
                        "%s: the canvas differs from delve-replay's screenshot in %s pixels (see %s)"
                        % (name, differing, work))
