"""Headless Chromium through chromedriver (Debian's, in /usr/bin), and what
the browser tests do with it: run JavaScript, wait for a condition with a
deadline, read the console's errors, and hold the canvas against
delve-replay's screenshot of the same keys."""

import base64
import importlib.util
import os
import subprocess

from e2e.report import Stop, wait_until

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"


def missing():
    """What the browser tests need and this machine lacks, as one line; None when all is there."""
    for path in (CHROMIUM, CHROMEDRIVER):
        if not os.access(path, os.X_OK):
            return "%s is missing (scripts/setup installs it)" % path
    if importlib.util.find_spec("selenium") is None:
        return "python3-selenium is missing (scripts/setup installs it)"
    return None


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


def canvas_png(driver, path, canvas_id="screen"):
    data = js(driver, "return document.getElementById(arguments[0]).toDataURL('image/png');", canvas_id)
    with open(path, "wb") as out:
        out.write(base64.b64decode(data.split(",", 1)[1]))


def differing_pixels(a, b, difference):
    """How many pixels differ between two pictures, as ImageMagick's compare
    says it ("0" when none; its complaint when it cannot compare them)."""
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
