"""The page in headless Chromium, driven as a player would drive it.

Run by scripts/web-e2e (which builds, serves and checks the files); this part
talks to the browser through chromedriver and Selenium. Every check prints
"ok ..." or "FAIL ..."; the exit status is 1 when any check failed.
"""

import argparse
import base64
import functools
import hashlib
import http.server
import json
import os
import random
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zipfile
import zlib

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

TITLE_BUDGET_S = 2.0
# A turn, key to canvas, median: on this machine's processor, and on one
# slowed down as a phone's is (Chromium's CPU throttling).
TURN_BUDGET_MS = 4.0
SLOWED_TURN_BUDGET_MS = 16.0
PHONE_SLOWDOWN = 4
# The page's WebAssembly memory after all the turns: it starts at 16 MiB and
# has no reason to grow.
WASM_MEMORY_LIMIT_MIB = 32
IDLE_CPU_LIMIT = 2.0  # percent of a core while waiting for a key

failures = []


def ok(text):
    print("ok   " + text, flush=True)


def fail(text):
    print("FAIL " + text, flush=True)
    failures.append(text)


def check(condition, good, bad):
    if condition:
        ok(good)
    else:
        fail(bad)
    return condition


class Stop(Exception):
    """A check failed in a way that leaves nothing sensible to check after it."""


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1200,1000", "--force-device-scale-factor=1"):
        options.add_argument(flag)
    options.add_argument("--user-data-dir=" + profile)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def js(driver, script, *args):
    return driver.execute_script(script, *args)


def wait_for(driver, condition, what, timeout=20.0):
    """Polls a JavaScript expression until it is true."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if js(driver, "return !!(" + condition + ");"):
            return
        time.sleep(0.02)
    state = js(driver, "return window.Delve ? Delve.state + ': ' + "
                       "document.getElementById('failed-text').textContent : 'no Delve';")
    raise Stop("%s: not within %.0f s (page %s)" % (what, timeout, state))


def console_errors(driver):
    """The browser console's errors since the last call."""
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def check_console(driver, phase):
    errors = console_errors(driver)
    check(not errors, "no console errors %s" % phase,
          "console errors %s: %s" % (phase, "; ".join(errors)))


def settle(driver, presents_before=None):
    """Waits until the program waits for a key with nothing left to take,
    and no picture came for a moment (the title screen polls)."""
    wait_for(driver, "window.Delve && Delve.state === 'running' && Delve.waiting", "the program waiting")
    if presents_before is not None:
        wait_for(driver, "Delve.presents > %d" % presents_before, "a new picture")
    last = -1
    while True:
        presents = js(driver, "return Delve.presents;")
        if presents == last:
            return
        last = presents
        time.sleep(0.15)


def press(driver, key):
    """One key press through the browser's real input path, then waits
    until the program has taken it."""
    keys_before = js(driver, "return Delve.keys;")
    named = {" ": Keys.SPACE, "\r": Keys.ENTER, "\x1b": Keys.ESCAPE, "\b": Keys.BACKSPACE}
    ActionChains(driver).send_keys(named.get(key, key)).perform()
    wait_for(driver, "Delve.keys > %d && Delve.waiting" % keys_before, "the key %r taken" % key, 10)


def canvas_png(driver, path):
    data = js(driver, "return document.getElementById('screen').toDataURL('image/png');")
    with open(path, "wb") as out:
        out.write(base64.b64decode(data.split(",", 1)[1]))


def differing_pixels(a, b, difference):
    result = subprocess.run(["compare", "-metric", "AE", a, b, difference],
                            capture_output=True, text=True)
    return result.stderr.strip()


def replay(args, keys, seed, path, trace=None):
    command = [args.replay, "--dir", args.game, "--screenshot", path]
    if seed is not None:
        command += ["--seed", str(seed)]
    if trace:
        command += ["--trace", trace]
    keys_file = path + ".keys"
    with open(keys_file, "wb") as out:
        out.write(keys.encode("latin-1"))
    command += ["--keys-file", keys_file]
    subprocess.run(command, check=True)


def compare_with_replay(driver, args, keys, seed, name):
    web = os.path.join(args.work, name + "-page.png")
    expected = os.path.join(args.work, name + "-replay.png")
    canvas_png(driver, web)
    replay(args, keys, seed, expected)
    differing = differing_pixels(web, expected, os.path.join(args.work, name + "-difference.png"))
    return check(differing == "0",
                 "%s: the canvas equals delve-replay's screenshot pixel for pixel" % name,
                 "%s: the canvas differs from delve-replay's screenshot in %s pixels (see %s)"
                 % (name, differing, args.work))


def check_encounter_file(driver, args, name):
    """The encounter file the page's game wrote into its memory file system
    equals the one delve-replay just wrote after the same keys."""
    page = bytes(js(driver, "return Array.from(Module.FS.readFile('/game/res/encounter.txt'));"))
    with open(os.path.join(args.game, "res", "encounter.txt"), "rb") as f:
        replayed = f.read()
    check(page == replayed and page,
          "%s: the page's res/encounter.txt equals the replay's (%d bytes)" % (name, len(page)),
          "%s: the page's res/encounter.txt differs from the replay's: %r, %r" % (name, page, replayed))


def cpu_percent_while_idle(driver, seconds=3.0):
    """The page's main-thread work over a few seconds, as a share of a core."""
    def task_seconds():
        metrics = driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
        return next(m["value"] for m in metrics if m["name"] == "TaskDuration")
    before = task_seconds()
    time.sleep(seconds)
    return 100.0 * (task_seconds() - before) / seconds


def check_idle(driver, where):
    percent = cpu_percent_while_idle(driver)
    check(percent < IDLE_CPU_LIMIT,
          "waiting for a key on %s used %.2f%% of a core over 3 s" % (where, percent),
          "waiting for a key on %s used %.2f%% of a core over 3 s (limit %.0f%%)"
          % (where, percent, IDLE_CPU_LIMIT))


def check_placement(driver):
    """The canvas at the largest whole factor, centred, and shrunk smoothly
    only below one factor; it follows the window."""
    def placement():
        return js(driver, """
            var c = document.getElementById('screen'), s = document.getElementById('stage');
            return [s.clientWidth, s.clientHeight, c.width, c.height, parseFloat(c.style.left),
                    parseFloat(c.style.top), parseFloat(c.style.width), parseFloat(c.style.height),
                    c.style.imageRendering];""")

    for size in ((1200, 1000), (2200, 1800), (700, 600), (1200, 1000)):
        driver.set_window_size(*size)
        time.sleep(0.4)
        area_w, area_h, frame_w, frame_h, left, top, width, height, rendering = placement()
        factor = min(area_w // frame_w, area_h // frame_h)
        if factor >= 1:
            expected = [(area_w - frame_w * factor) // 2, (area_h - frame_h * factor) // 2,
                        frame_w * factor, frame_h * factor, "pixelated"]
        else:
            w = min(area_w, area_h * frame_w // frame_h)
            h = min(area_h, area_w * frame_h // frame_w)
            expected = [(area_w - w) // 2, (area_h - h) // 2, w, h, "auto"]
        got = [left, top, width, height, rendering]
        check(got == expected,
              "window %dx%d: canvas at %s" % (size[0], size[1], got),
              "window %dx%d (area %dx%d): canvas at %s, expected %s"
              % (size[0], size[1], area_w, area_h, got, expected))


def check_fullscreen(driver):
    """Alt+Enter and the button toggle full screen; neither is a key to the
    game, and the canvas keeps the keyboard."""
    keys_before = js(driver, "return Delve.keys;")
    state = "return [document.fullscreenElement ? document.fullscreenElement.id : '', document.activeElement.id];"
    seen = []
    # In full screen only the game shows: the button is left behind, so Alt+Enter
    # (or the browser's Escape) leaves it.
    for how, full in (("Alt+Enter", True), ("Alt+Enter", False), ("button", True), ("Alt+Enter", False)):
        if how == "button":
            driver.find_element(By.ID, "fullscreen").click()
        else:
            ActionChains(driver).key_down(Keys.ALT).send_keys(Keys.ENTER).key_up(Keys.ALT).perform()
        try:
            wait_for(driver, "!!document.fullscreenElement === %s" % ("true" if full else "false"),
                     "full screen " + ("on" if full else "off"), 5)
        except Stop:
            pass
        time.sleep(0.3)  # the window settles to its new size
        seen.append(js(driver, state))
    keys_after = js(driver, "return Delve.keys;")
    check(seen == [["stage", "screen"], ["", "screen"]] * 2 and keys_after == keys_before,
          "Alt+Enter toggles full screen, the Full screen button enters it, the canvas keeps the focus",
          "full screen toggling went %s (%d keys reached the game)" % (seen, keys_after - keys_before))


def save_page(driver, path):
    """The whole page, its window just large enough for the frame at one
    screen pixel per game pixel."""
    inner = js(driver, "return [outerWidth - innerWidth, outerHeight - innerHeight, "
                       "document.getElementById('bar').offsetHeight];")
    driver.set_window_size(984 + inner[0], 736 + inner[1] + inner[2])
    time.sleep(0.5)
    driver.save_screenshot(path)
    ok("saved the page as %s" % path)
    driver.set_window_size(1200, 1000)
    time.sleep(0.3)


def check_default_prevented(driver):
    """Browser shortcuts stay the browser's; keys the game types are its own."""
    cases = [("F5", "F5", {}, False), ("r", "KeyR", {"ctrlKey": True}, False),
             ("w", "KeyW", {"ctrlKey": True}, False), ("F11", "F11", {}, False),
             ("F12", "F12", {}, False), ("I", "KeyI", {"ctrlKey": True, "shiftKey": True}, False),
             ("Tab", "Tab", {}, False), ("6", "Digit6", {}, True), (" ", "Space", {}, True),
             ("ArrowUp", "Numpad8", {}, True), ("@", "Digit2", {"shiftKey": True}, True)]
    wrong = []
    for key, code, modifiers, expected in cases:
        init = dict(key=key, code=code, bubbles=True, cancelable=True, **modifiers)
        prevented = js(driver, """
            var e = new KeyboardEvent('keydown', arguments[0]);
            document.getElementById('screen').dispatchEvent(e);
            return e.defaultPrevented;""", init)
        if prevented != expected:
            wrong.append("%s%s %s" % ("+".join(m[:-3] for m in modifiers) + "+" if modifiers else "",
                                      key, "prevented" if prevented else "not prevented"))
    check(not wrong, "preventDefault only for the game's keys (F5, Ctrl+R, Ctrl+W, F11, F12, "
          "Ctrl+Shift+I, Tab left to the browser)", "wrong default handling: " + ", ".join(wrong))


# A gamepad of the browser's standard layout that the test holds: the page
# finds it through navigator.getGamepads and a gamepadconnected event, as it
# finds a real one.
SYNTHETIC_PAD = """
    window.testPad = {index: 0, id: 'synthetic', connected: true, mapping: 'standard', timestamp: 0,
                      buttons: Array.from({length: 17}, function () { return {pressed: false, value: 0}; }),
                      axes: [0, 0, 0, 0]};
    Object.defineProperty(navigator, 'getGamepads',
                          {configurable: true, value: function () { return [window.testPad, null, null, null]; }});
    window.dispatchEvent(new Event('gamepadconnected'));"""
PAD_A, PAD_B, PAD_X, PAD_LT, PAD_START, PAD_RIGHT = 0, 1, 2, 6, 9, 15


def set_pad(driver, buttons=(), stick=(0, 0)):
    js(driver, """
        var held = arguments[0];
        window.testPad.buttons.forEach(function (b, i) { b.pressed = held.indexOf(i) >= 0; b.value = b.pressed ? 1 : 0; });
        window.testPad.axes = [arguments[1], arguments[2], 0, 0];""", list(buttons), *stick)


def pad_press(driver, buttons=(), stick=(0, 0), what=""):
    """Holds buttons (or the stick) until the program has taken a key, then
    lets go and gives the page a few frames to see it."""
    keys_before = js(driver, "return Delve.keys;")
    set_pad(driver, buttons, stick)
    wait_for(driver, "Delve.keys > %d && Delve.waiting" % keys_before, "the gamepad's %s taken" % what, 10)
    set_pad(driver)
    time.sleep(0.2)
    return js(driver, "return Delve.keys;") - keys_before


def check_gamepad(driver, args):
    """A, the d-pad, the stick, B, X and LT give the keys a player types, and
    the canvas ends up equal to delve-replay's after them; Start quits only
    once held a second."""
    # The seed link leaves the game at the party's first picture, where A
    # (Space) goes on into the level.
    driver.get(args.url + "?seed=%d" % args.seed)
    wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (gamepad)")
    settle(driver)
    js(driver, SYNTHETIC_PAD)
    counts = []
    for buttons, stick, what in (([PAD_A], (0, 0), "A"), ([PAD_RIGHT], (0, 0), "d-pad right"),
                                 ([], (0.1, 0.9), "stick down"), ([], (-1, 0), "stick left"),
                                 ([PAD_X], (0, 0), "X"), ([PAD_B], (0, 0), "B"), ([PAD_LT], (0, 0), "LT")):
        counts.append(pad_press(driver, buttons, stick, what))
    settle(driver)
    check(counts == [1] * len(counts), "each gamepad press gave one key",
          "the gamepad presses gave %s keys" % counts)
    compare_with_replay(driver, args, " 624hbw", args.seed, "gamepad")
    keys_before = js(driver, "return Delve.keys;")
    set_pad(driver, [PAD_START])
    started = time.monotonic()
    time.sleep(0.6)
    early = js(driver, "return [Delve.state, Delve.keys];")
    wait_for(driver, "Delve.state === 'ended'", "the end after Start held", 5)
    held = time.monotonic() - started
    check(early == ["running", keys_before] and 0.9 <= held <= 2.5,
          "Start held ends the game after %.2f s, and not before a second" % held,
          "Start held: after 0.6 s the page was %s (keys %d before), ended after %.2f s"
          % (early, keys_before, held))
    check_console(driver, "with a gamepad")


# --- touch: the controls, a tap on the map, the reports ------------------------

WALK_TARGET = os.path.join(os.path.dirname(os.path.abspath(__file__)), "walk-target.py")
PHONES = ((844, 390), (390, 844))  # CSS pixels, landscape and portrait


def tap(driver, x, y):
    """One finger's tap at (x, y) CSS pixels of the viewport."""
    driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": [{"x": x, "y": y}]})
    driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})


def tap_button(driver, key):
    """Taps the touch button of a key; returns how many keys the tap queued."""
    before = js(driver, "return Delve.keys;")
    x, y = js(driver, "var r = document.querySelector(arguments[0]).getBoundingClientRect();"
                      "return [r.left + r.width / 2, r.top + r.height / 2];",
              '#touch button[data-key="%s"]' % key)
    tap(driver, x, y)
    wait_for(driver, "Delve.keys > %d && Delve.waiting" % before, "the tap on %r taken" % key, 10)
    time.sleep(0.2)  # a second key (a click after the touch) would come by now
    return js(driver, "return Delve.keys;") - before


def last_frame(path):
    with open(path) as f:
        return json.loads(f.read().splitlines()[-1])


def speakable(message):
    """What the page should say for a report: each bracketed part a sentence."""
    parts = [" ".join(p.split()) for p in re.split(r"[\[\]{}]", message)]
    return " ".join(p if p[-1] in ".!?:" else p + "." for p in parts if p)


def rects_apart(a, b):
    return a[2] <= b[0] or b[2] <= a[0] or a[3] <= b[1] or b[3] <= a[1]


def check_phone_layouts(driver, shot=None):
    """On a phone, landscape and portrait: the whole canvas and all the
    controls in view, side by side or one under the other, never overlapping."""
    pictures = []
    for width, height in PHONES:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": True})
        time.sleep(0.5)
        canvas, panel = js(driver, """
            return ['screen', 'touch'].map(function (id) {
              var r = document.getElementById(id).getBoundingClientRect();
              return [r.left, r.top, r.right, r.bottom]; });""")
        inside = all(0 <= r[0] and 0 <= r[1] and r[2] <= width and r[3] <= height for r in (canvas, panel))
        check(inside and rects_apart(canvas, panel) and canvas[2] - canvas[0] >= width * 0.45,
              "phone %dx%d: canvas at %s and controls at %s, both in view"
              % (width, height, [round(v) for v in canvas], [round(v) for v in panel]),
              "phone %dx%d: canvas at %s and controls at %s overlap or leave the view"
              % (width, height, canvas, panel))
        if shot:
            pictures.append(shot + ".%dx%d.png" % (width, height))
            driver.save_screenshot(pictures[-1])
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    return pictures


# Phones from the smallest still sold upright to a large one on its side.
PHONE_SIZES = ((320, 568), (390, 844), (568, 320), (844, 390))
TOUCH_TARGET_PX = 44

# Every control a player could reach now (in the open dialog, if one is
# open): where it lies, whether it leaves the screen, whether a finger fits.
REACH_SCRIPT = """
var width = window.innerWidth, height = window.innerHeight, found = [];
var dialog = document.querySelector('dialog[open]');
document.querySelectorAll('button, a[href], input, select, textarea, summary').forEach(function (el) {
  var r = el.getBoundingClientRect();
  if (!r.width || !r.height || getComputedStyle(el).visibility === 'hidden') return;
  if (dialog && !dialog.contains(el)) return;
  // Rows of a list that scrolls are reached by scrolling it, upwards or down.
  var scrolls = el.closest('#games-list, #own-findings');
  var name = el.id || el.getAttribute('aria-label') || el.textContent.trim().slice(0, 30);
  var outside = r.left < -0.5 || r.right > width + 0.5 || (!scrolls && (r.top < -0.5 || r.bottom > height + 0.5));
  found.push({ name: name, rect: [r.left, r.top, r.right, r.bottom].map(Math.round), outside: outside,
               small: r.width < arguments[0] - 0.5 || r.height < arguments[0] - 0.5 });
});
return { controls: found, scrollWidth: document.scrollingElement.scrollWidth, width: width };
"""


def check_reach(driver, where):
    """At each phone size: no control off the screen or under a finger's
    size, and nothing to scroll sideways."""
    for width, height in PHONE_SIZES:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": True})
        time.sleep(0.3)
        seen = js(driver, REACH_SCRIPT, TOUCH_TARGET_PX)
        outside = ["%s at %s" % (c["name"], c["rect"]) for c in seen["controls"] if c["outside"]]
        small = ["%s at %s" % (c["name"], c["rect"]) for c in seen["controls"] if c["small"]]
        check(seen["controls"] and not outside and not small and seen["scrollWidth"] <= width,
              "phone %dx%d, %s: %d controls, each within the screen and at least %d px square, no sideways scroll"
              % (width, height, where, len(seen["controls"]), TOUCH_TARGET_PX),
              "phone %dx%d, %s: off the screen %s; smaller than %d px %s; document %d px wide"
              % (width, height, where, outside, TOUCH_TARGET_PX, small, seen["scrollWidth"]))
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def check_phone_reach(driver, args, pictures):
    """With touch, on phones upright and on their side: playing, on the
    choice to continue, and with each dialog open, every control can be
    reached. A kept game is needed for the choice and the list's rows."""
    driver.get(args.url + "?seed=%d" % TOUCH_SEED)
    wait_for(driver, "window.Delve && Delve.state === 'running' && Delve.presents > 0", "the game (phones)")
    settle(driver)
    check_reach(driver, "playing")
    driver.get(args.url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice to continue (phones)")
    check_reach(driver, "the choice to continue")
    driver.find_element(By.ID, "choose-games").click()
    wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the games list (phones)")
    check_reach(driver, "the games list")
    if args.touch_screenshot:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": 390, "height": 844, "deviceScaleFactor": 1, "mobile": True})
        time.sleep(0.5)
        pictures.insert(1, args.touch_screenshot + ".games.png")
        driver.save_screenshot(pictures[1])
        driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    driver.find_element(By.ID, "games-close").click()
    driver.find_element(By.ID, "own-open").click()
    wait_for(driver, "document.getElementById('own-dialog').open", "the own data dialog (phones)")
    check_reach(driver, "the own data dialog")
    driver.find_element(By.ID, "own-close").click()
    if args.touch_screenshot:
        # Portrait playing, portrait with the games list, then landscape,
        # side by side on the page's own black.
        gap = ["-size", "16x1", "xc:#202020"]
        subprocess.run(["convert", "-background", "#202020", pictures[2]] + gap + [pictures[1]] + gap +
                       [pictures[0], "+append", args.touch_screenshot], check=True)
        for picture in pictures:
            os.remove(picture)
        ok("saved the page on a phone as %s" % args.touch_screenshot)


# The touch checks play a seed known to have a seen cell a few free steps
# away after their taps, whatever --seed the other checks play.
TOUCH_SEED = 17


def check_touch(driver, args):
    seed = TOUCH_SEED
    url = args.url + "?seed=%d" % seed
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'running'", "the page (no touch)")
    check(not driver.find_element(By.ID, "touch").is_displayed(), "no touch controls without a touch screen",
          "touch controls are shown without a touch screen")

    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (touch)")
    settle(driver)
    buttons = driver.find_elements(By.CSS_SELECTOR, "#touch button")
    labelled = [b for b in buttons if b.is_displayed() and b.text.strip() and b.get_attribute("aria-label")]
    check(len(buttons) == 15 and len(labelled) == 15,
          "a touch screen shows 15 labelled touch buttons", "touch buttons: %d, labelled and shown: %d"
          % (len(buttons), len(labelled)))

    # Each tap on a pad button is one key.
    taps = "6688"
    counts = [tap_button(driver, key) for key in taps]
    check(counts == [1] * len(taps), "each tap on the pad queued exactly one key",
          "taps on the pad queued %s keys" % counts)
    settle(driver)
    compare_with_replay(driver, args, taps, seed, "touch-pad")

    # A tap on a seen cell walks there; the walk is its move keys.
    trace = os.path.join(args.work, "touch.trace")
    replay(args, taps, seed, trace + ".png", trace)
    target = subprocess.run([sys.executable, WALK_TARGET, trace], capture_output=True, text=True).stdout.split()
    if len(target) != 3:
        raise Stop("no seen cell a few free steps away to tap (seed %d)" % seed)
    tx, ty, steps = map(int, target)
    # Each picture's time, to measure the walk's pace.
    presents = js(driver, """var show = Module.page.show, times = window.shownAt = [];
        Module.page.show = function () { times.push(performance.now()); return show.apply(this, arguments); };
        return Delve.presents;""")
    x, y = js(driver, """var c = document.getElementById('screen'), r = c.getBoundingClientRect();
        return [r.left + (16 * (arguments[0] - 1) + 8) * r.width / c.width,
                r.top + (16 * (arguments[1] - 1) + 8) * r.height / c.height];""", tx, ty)
    tap(driver, x, y)
    settle(driver, presents)
    walked, shown_at = js(driver, "return [Delve.presents, window.shownAt];")
    walked -= presents
    moves = ""
    for _ in range(walked):
        key = subprocess.run([sys.executable, WALK_TARGET, trace, "--next", str(tx), str(ty)],
                             capture_output=True, text=True).stdout.strip()
        moves += key
        replay(args, taps + moves, seed, trace + ".png", trace)
    frame = last_frame(trace)
    check(walked == steps and (frame["partyX"], frame["partyY"]) == (tx, ty),
          "a tap on the map walked %d steps to %d,%d (\"%s\")" % (walked, tx, ty, moves),
          "a tap on the map at %d,%d took %d steps (expected %d), ending at %s,%s"
          % (tx, ty, walked, steps, frame["partyX"], frame["partyY"]))
    compare_with_replay(driver, args, taps + moves, seed, "touch-walk")
    pace = (len(shown_at) - 1) * 1000.0 / max(shown_at[-1] - shown_at[0], 1.0)
    check(8.0 <= pace <= 13.0, "walk pace in the page: %.1f steps a second" % pace,
          "walk pace in the page: %.1f steps a second (about 12 wanted)" % pace)

    # A turn with a report: its text in the aria-live log, as sentences.
    tap_button(driver, "v")
    settle(driver)
    replay(args, taps + moves + "v", seed, trace + ".png", trace)
    message = last_frame(trace)["message"]
    spoken = js(driver, "var r = document.getElementById('reports');"
                        "return [r.getAttribute('aria-live'), r.lastElementChild ? r.lastElementChild.textContent : ''];")
    check(message and spoken == ["polite", speakable(message)],
          "the report %s is in the aria-live log as \"%s\"" % (message, spoken[1]),
          "after the report %r the aria-live log holds %r" % (message, spoken))
    # Full screen keeps the controls (a phone has no key to leave it).
    x, y = js(driver, "var r = document.getElementById('fullscreen').getBoundingClientRect();"
                      "return [r.left + r.width / 2, r.top + r.height / 2];")
    tap(driver, x, y)
    try:
        wait_for(driver, "document.fullscreenElement === document.documentElement", "full screen by a tap", 5)
    except Stop:
        pass
    check(js(driver, "return document.fullscreenElement === document.documentElement;") and
          driver.find_element(By.ID, "touch").is_displayed(),
          "with touch, full screen shows the whole page, controls included",
          "with touch, full screen is on %r" % js(driver, "return document.fullscreenElement && "
                                                          "document.fullscreenElement.id;"))
    js(driver, "if (document.fullscreenElement) document.exitFullscreen();")
    wait_for(driver, "!document.fullscreenElement", "full screen off", 5)
    pictures = check_phone_layouts(driver, args.touch_screenshot)
    check_phone_reach(driver, args, pictures)
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})
    check_console(driver, "with touch")


def check_turn_budgets(driver, args):
    """The median turn, key to canvas, over --turns move keys as they come,
    first at this machine's speed, then with the processor slowed down as a
    phone's is; and the WebAssembly memory after them all. Anything else
    running only ever adds time, so a median over its budget is measured
    again, up to three tries, and the best counts."""
    generator = random.Random(args.seed)
    played = 0
    for slowdown, budget in ((1, TURN_BUDGET_MS), (PHONE_SLOWDOWN, SLOWED_TURN_BUDGET_MS)):
        where = "processor slowed %dx" % slowdown if slowdown > 1 else "this processor"
        tries = []
        for _ in range(3):
            driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": slowdown})
            try:
                before = js(driver, "return Delve.turnTimes.length;")
                for _ in range(args.turns):
                    press(driver, generator.choice("2468"))
                played += args.turns
                times = js(driver, "return Delve.turnTimes.slice(arguments[0]);", before)
            finally:
                driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": 1})
            if len(times) != args.turns:
                break
            tries.append(times)
            if statistics.median(times) <= budget:
                break
        if not check(len(times) == args.turns, "%d turns measured (%s)" % (args.turns, where),
                     "%d of %d turns measured (%s)" % (len(times), args.turns, where)):
            continue
        times = min(tries, key=statistics.median)
        median = statistics.median(times)
        earlier = ("; earlier tries %s ms" % ", ".join("%.2f" % statistics.median(t) for t in tries[:-1])
                   if len(tries) > 1 else "")
        check(median <= budget,
              "budget: a turn, key to canvas, %s: median %.2f ms over %d keys (90%% within %.2f ms, "
              "slowest %.2f ms; limit %.0f ms%s)"
              % (where, median, len(times), sorted(times)[int(len(times) * 0.9)], max(times), budget, earlier),
              "budget: a turn, key to canvas, %s: median %.2f ms in the best of %d tries (limit %.0f ms)"
              % (where, median, len(tries), budget))
    memory = js(driver, "return Module.HEAPU8 ? Module.HEAPU8.buffer.byteLength : -1;") / 1048576.0
    check(0 < memory <= WASM_MEMORY_LIMIT_MIB,
          "budget: the page's WebAssembly memory after %d turns is %.1f MiB (limit %d MiB)"
          % (played, memory, WASM_MEMORY_LIMIT_MIB),
          "budget: the page's WebAssembly memory after %d turns is %.1f MiB (limit %d MiB)"
          % (played, memory, WASM_MEMORY_LIMIT_MIB))


# --- the page as an app: installable, offline, a new version taken whole ------

class Site:
    """A copy of the page served from this process on 127.0.0.1, which can be
    stopped (the network gone) and started again on the same port."""

    def __init__(self, folder):
        self.folder = folder
        self.port = 0
        self.server = None

    def start(self):
        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *_):
                pass
        handler = functools.partial(Quiet, directory=self.folder)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        if self.server:
            self.server.shutdown()
            self.server.server_close()
            self.server = None


SOURCE_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def page_files(folder):
    """The files the page's worker keeps, as its sw.js lists them."""
    with open(os.path.join(folder, "sw.js")) as f:
        return re.findall(r"'([^']+)'", re.search(r"var FILES = \[(.*)\];", f.read()).group(1))


def new_page_version(folder, marker):
    """Changes index.html and delve.js in a copy of the page (a comment each)
    and writes its sw.js again, as a build of a new version would."""
    with open(os.path.join(folder, "index.html"), "a") as out:
        out.write("<!-- %s -->\n" % marker)
    with open(os.path.join(folder, "delve.js"), "a") as out:
        out.write("\n// %s\n" % marker)
    names = page_files(folder)
    subprocess.run(["cmake", "-DDIR=" + folder, "-DTEMPLATE=" + os.path.join(SOURCE_ROOT, "web", "sw.js"),
                    "-DFILES=" + ",".join(names), "-P", os.path.join(SOURCE_ROOT, "web", "page_version.cmake")],
                   check=True)
    with open(os.path.join(folder, "sw.js")) as f:
        return re.search(r"var VERSION = '([0-9a-f]+)';", f.read()).group(1)


def kept_files(driver):
    """The page's caches: {cache name: {file: SHA-256 of what it keeps}}."""
    return driver.execute_async_script("""
        var done = arguments[arguments.length - 1];
        function hex(b) { return Array.from(new Uint8Array(b), function (x) { return (x + 256).toString(16).slice(1); }).join(''); }
        caches.keys().then(function (names) {
          return Promise.all(names.map(function (name) {
            return caches.open(name).then(function (cache) { return cache.keys(); }).then(function (requests) {
              return Promise.all(requests.map(function (request) {
                return caches.open(name).then(function (c) { return c.match(request); })
                  .then(function (r) { return r.arrayBuffer(); })
                  .then(function (b) { return crypto.subtle.digest('SHA-256', b); })
                  .then(function (sum) { return [new URL(request.url).pathname.split('/').pop(), hex(sum)]; });
              }));
            }).then(function (files) { return [name, Object.fromEntries(files)]; });
          }));
        }).then(function (all) { done(Object.fromEntries(all)); }, function (e) { done(String(e)); });""")


def files_on_disk(folder, names):
    result = {}
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            result[name] = hashlib.sha256(f.read()).hexdigest()
    return result


def wait_for_version(driver, version, what, timeout=20.0):
    """Waits until the page is controlled by an active worker and its only
    cache is the one of `version`. The worker is asked first: a first
    visit's cache exists, half filled, while its worker installs, and only
    an activated worker has filled it whole."""
    end = time.monotonic() + timeout
    kept = None
    while time.monotonic() < end:
        active = js(driver, "var w = navigator.serviceWorker.controller; return !!w && w.state === 'activated';")
        kept = kept_files(driver) if active else None
        if isinstance(kept, dict) and list(kept) == ["delve-page-" + version]:
            return kept["delve-page-" + version]
        time.sleep(0.2)
    raise Stop("%s: the page does not keep version %s alone (caches: %s)"
               % (what, version[:12], list(kept) if isinstance(kept, dict) else kept))


def play_seed_link(driver, url, args, name):
    driver.get(url + "?seed=%d" % args.seed)
    wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (%s)" % name)
    settle(driver)
    for key in args.keys:
        press(driver, key)
    settle(driver)
    compare_with_replay(driver, args, args.keys, args.seed, name)


def check_app(args):
    """In a browser of its own, on a copy of the page served here: Chromium
    finds the page installable, keeps it after one visit and plays it with the
    server stopped and the network cut; a new version is taken whole, and a
    server holding a mix of two versions changes nothing."""
    folder = os.path.join(args.work, "app-site")
    shutil.copytree(args.web, folder)
    with open(os.path.join(folder, "sw.js")) as f:
        version = re.search(r"var VERSION = '([0-9a-f]+)';", f.read()).group(1)
    site = Site(folder)
    site.start()
    url = "http://127.0.0.1:%d/" % site.port
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-app-", dir=args.work))
    driver.set_script_timeout(20)
    try:
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.state === 'running'", "the page (app)")
        kept = wait_for_version(driver, version, "the first visit")
        names = page_files(folder)
        check(kept == files_on_disk(folder, names),
              "after one visit the page keeps version %s: %s" % (version[:12], ", ".join(names)),
              "after one visit the kept files differ from the served ones: %s" % kept)
        errors = driver.execute_cdp_cmd("Page.getInstallabilityErrors", {}).get("installabilityErrors")
        check(errors == [], "Chromium finds the page installable (no installability errors)",
              "installability errors: %s" % errors)
        manifest = driver.execute_cdp_cmd("Page.getAppManifest", {})
        icons = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            Promise.all(['icon-192.png', 'icon-512.png'].map(function (name) {
              return fetch(name).then(function (r) { return r.blob(); }).then(createImageBitmap)
                .then(function (image) { return [image.width, image.height]; });
            })).then(done, function (e) { done(String(e)); });""")
        check(not manifest.get("errors") and icons == [[192, 192], [512, 512]],
              "the manifest reads without errors and its icons load at 192 and 512 pixels",
              "manifest errors %s, icons %s" % (manifest.get("errors"), icons))

        # The network gone: the server stopped and the browser offline.
        site.stop()
        driver.execute_cdp_cmd("Network.enable", {})
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        play_seed_link(driver, url, args, "offline")
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": False, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})

        # A new version on the server: the next visit finds it, the worker keeps
        # it whole, and the visit after plays it.
        second = new_page_version(folder, "a new version")
        site.start()
        driver.get(url)
        # A game is kept from the first visit: the page may offer to continue it.
        wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page (new version served)")
        kept = wait_for_version(driver, second, "the new version")
        check(kept == files_on_disk(folder, names),
              "a new version served is kept whole (%s replaces %s, no file of the old one kept)"
              % (second[:12], version[:12]),
              "the new version's kept files differ from the served ones: %s" % kept)
        driver.get(url)
        wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page (new version)")
        # The marker is a comment after </html>: the document's own child.
        marked = js(driver, "return Array.from(document.childNodes).some(function (node) {"
                            "  return node.nodeType === Node.COMMENT_NODE && node.nodeValue.indexOf('a new version') >= 0; });")
        check(marked, "the next visit is the new version's page", "the next visit is still the old page")

        # A server half way through an update (a new index.html, the old
        # delve.js) is no version: the worker keeps what it had.
        with open(os.path.join(folder, "delve.js"), "rb") as f:
            old_script = f.read()
        new_page_version(folder, "a third version")
        with open(os.path.join(folder, "delve.js"), "wb") as out:
            out.write(old_script)
        state = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            navigator.serviceWorker.getRegistration().then(function (r) {
              return r.update().catch(function () {}).then(function () {
                var waited = 0;
                (function poll() {
                  if ((r.installing || r.waiting) && waited < 15000) { waited += 100; setTimeout(poll, 100); }
                  else done([r.active ? r.active.state : '', !!r.installing, !!r.waiting]);
                })();
              });
            });""")
        kept = kept_files(driver)
        check(state == ["activated", False, False] and list(kept) == ["delve-page-" + second],
              "files of two versions on the server are refused: the page keeps version %s whole" % second[:12],
              "with a mix of versions served, worker %s and caches %s (version %s expected)"
              % (state, list(kept) if isinstance(kept, dict) else kept, second[:12]))
        check_console(driver, "as an app")
    finally:
        driver.quit()
        site.stop()


# --- a player's own data: a zip, a folder, the check's findings, hostile zips --

OWN_FIXTURE = os.path.join(SOURCE_ROOT, "tests", "sim", "fixture", "res")


def hand_zip(path, entries):
    """A zip written field by field, so that names and stated sizes can be
    anything: entries are (name, data, stated size or None), deflated."""
    out, listing, at = [], [], 0
    for name, data, stated in entries:
        packer = zlib.compressobj(6, zlib.DEFLATED, -15)
        packed = packer.compress(data) + packer.flush()
        size = len(data) if stated is None else stated
        crc = zlib.crc32(data)
        raw = name.encode("utf-8")
        header = struct.pack("<HHHHHIIIHH", 20, 0, 8, 0, 0, crc, len(packed), size, len(raw), 0)
        listing.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014b50, 20, 20, 0, 8, 0, 0, crc, len(packed), size,
                                   len(raw), 0, 0, 0, 0, 0, at) + raw)
        out.append(struct.pack("<I", 0x04034b50) + header + raw + packed)
        at += len(out[-1])
    listing = b"".join(listing)
    end = struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, len(entries), len(entries), len(listing), at, 0)
    with open(path, "wb") as f:
        f.write(b"".join(out) + listing + end)


def zip_folder(folder, path):
    """A zip of the folder itself (its name the top folder inside), as a file manager makes it."""
    parent = os.path.dirname(folder)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for where, _, names in os.walk(folder):
            for name in sorted(names):
                full = os.path.join(where, name)
                z.write(full, os.path.relpath(full, parent))


def own_data_folders(args):
    """Two data folders made from the shipped tiles: "Quest" with the test
    fixture's res/, and "Broken" with the shipped res/ spoilt in ways the
    check finds (a missing key, a stray data file, a missing tile)."""
    base = os.path.join(args.work, "own")
    quest, broken = os.path.join(base, "Quest"), os.path.join(base, "Broken")
    for folder, res in ((quest, OWN_FIXTURE), (broken, os.path.join(SOURCE_ROOT, "res"))):
        shutil.copytree(os.path.join(args.game, "tiles"), os.path.join(folder, "tiles"))
        shutil.copytree(res, os.path.join(folder, "res"))
    with open(os.path.join(broken, "res", "gamedata.dat"), "rb") as f:
        lines = f.read().split(b"\r\n")
    with open(os.path.join(broken, "res", "gamedata.dat"), "wb") as f:
        f.write(b"\r\n".join(line for line in lines if not line.lower().startswith(b"party/2/name")))
    with open(os.path.join(broken, "res", "gamedat.dat"), "wb") as f:
        f.write(b"a=1\r\n")
    party = os.path.join(broken, "tiles", "party")
    os.remove(os.path.join(party, sorted(os.listdir(party))[0]))
    return quest, broken


def replay_copy(folder, args):
    """delve-replay on a copy (the game writes beside its data files)."""
    copy = folder + "-replayed"
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(folder, copy)
    return argparse.Namespace(**dict(vars(args), game=copy))


def delve_check_findings(args, folder):
    """delve-check's lines on the folder, its closing count aside."""
    tool = subprocess.run([os.path.join(os.path.dirname(args.replay), "delve-check"), folder],
                          capture_output=True, text=True)
    return tool.stdout.splitlines()[:-1]


def own_status(driver, what):
    wait_for(driver, "document.getElementById('own-dialog').open && "
                     "/cannot be played|is ready|The check found/.test(document.getElementById('own-status').textContent)",
             what, 30)
    return js(driver, "return [document.getElementById('own-status').textContent, "
                      "Array.from(document.querySelectorAll('#own-findings li'), function (li) { return li.textContent; })];")


def own_choose(driver, input_id, path, what):
    js(driver, "document.getElementById('own-status').textContent = '';"
               "if (!document.getElementById('own-dialog').open) document.getElementById('own-open').click();")
    driver.find_element(By.ID, input_id).send_keys(path)
    return own_status(driver, what)


def own_play(driver, args, name, replay_args, what):
    """Play it; the page starts again on the data and plays the seed's keys."""
    js(driver, "window.beforeReload = true;")
    driver.find_element(By.ID, "own-play").click()
    wait_for(driver, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                     "!document.getElementById('own-playing').hidden", "the page on " + what, 30)
    shown = js(driver, "return document.getElementById('own-name').textContent;")
    check(shown == name, "the page says it plays \"%s\"" % shown, "the page names %r, not %r" % (shown, name))
    settle(driver)
    for key in args.keys:
        press(driver, key)
    settle(driver)
    compare_with_replay(driver, replay_args, args.keys, args.seed, what)


def check_own_data(driver, args):
    quest, broken = own_data_folders(args)
    quest_zip = os.path.join(args.work, "own", "Quest.zip")
    zip_folder(quest, quest_zip)
    url = args.url + "?seed=%d" % args.seed
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'running'", "the page (own data)")
    check(js(driver, "return !document.getElementById('own-folder-line').hidden;"),
          "the page offers a folder as well as a zip", "the page offers no folder picker in Chromium")

    # A returning player, offered Continue and New game, picks a zip instead:
    # it is checked there and then, and plays.
    driver.get(args.url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice to continue (own data)")
    status, _ = own_choose(driver, "own-zip", quest_zip, "Quest.zip chosen beside Continue and New game")
    check("Quest.zip" in status and "cannot be played" not in status and
          js(driver, "return !document.getElementById('own-play').hidden;"),
          "a zip chosen while Continue and New game are on offer is checked: \"%s\"" % status,
          "a zip chosen while Continue and New game are on offer: %r" % status)
    js(driver, "window.beforeReload = true;")
    driver.find_element(By.ID, "own-play").click()
    wait_for(driver, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                     "!document.getElementById('own-playing').hidden", "Quest.zip played from the choice", 30)
    ok("and it plays: the page starts again on Quest.zip")
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'running'", "the page on Quest.zip (own data)")

    # A zip of a data folder: checked clean, then played as delve-replay --dir plays it.
    status, lines = own_choose(driver, "own-zip", quest_zip, "the check of Quest.zip")
    expected = delve_check_findings(args, quest)
    check(lines == expected and "The check found %d problem" % len(lines) in status,
          "Quest.zip: the page shows delve-check's %d findings on the folder, line for line" % len(lines),
          "Quest.zip: the page shows %r (%r); delve-check says %r" % (lines, status, expected))
    own_play(driver, args, "Quest.zip", replay_copy(quest, args), "own-zip")

    # A broken folder opened through the page: the check's lines are delve-check's.
    status, lines = own_choose(driver, "own-folder", broken, "the check of the Broken folder")
    expected = delve_check_findings(args, broken)
    check(lines == expected and lines and "The check found %d problem" % len(lines) in status,
          "the Broken folder: the page shows delve-check's %d findings, line for line, and lets it play" % len(lines),
          "the Broken folder: the page shows %r (%r); delve-check says %r" % (lines, status, expected))
    if args.own_data_screenshot:
        save_page(driver, args.own_data_screenshot)
    own_play(driver, args, "Broken", replay_copy(broken, args), "own-folder")

    # Back to the shipped game, then hostile zips while it plays: each refused
    # with its reason, and the game plays on untouched.
    js(driver, "window.beforeReload = true;")
    driver.find_element(By.ID, "own-back").click()
    wait_for(driver, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                     "document.getElementById('own-playing').hidden", "the shipped game again", 30)
    settle(driver)
    hostile = os.path.join(args.work, "own", "hostile")
    os.makedirs(hostile)
    good = ("res/gamedata.dat", b"a=1\r\n", None)
    cases = (
        ("empty.zip", None, "the zip file is empty (0 bytes)"),
        ("climbing.zip", [good, ("res/../../evil.dat", b"x", None)], "res/../../evil.dat climbs out of its folder"),
        ("absolute.zip", [("/res/gamedata.dat", b"x", None)], "/res/gamedata.dat is an absolute path"),
        ("drive.zip", [("C:/res/gamedata.dat", b"x", None)], "C:/res/gamedata.dat names a drive"),
        ("backslash.zip", [("res\\gamedata.dat", b"x", None)], "res\\gamedata.dat has a backslash"),
        ("thousands.zip", [("res/%05d.dat" % i, b"", None) for i in range(20001)],
         "it holds 20001 files, more than the 20000 a game's data may have"),
        ("bomb.zip", [good, ("tiles/bomb.til", bytes(65 << 20), None)],
         "its files would take more than 64 MB unpacked"),
        ("understated.zip", [good, ("tiles/bomb.til", bytes(8 << 20), 1000)],
         "tiles/bomb.til unpacks to more than the 1000 bytes its listing states"),
        ("nores.zip", [("tiles/a.til", b"x", None), ("gamedata.dat", b"a=1", None)], "it has no res folder"),
    )
    for name, entries, reason in cases:
        path = os.path.join(hostile, name)
        if entries is None:
            open(path, "wb").close()
        else:
            hand_zip(path, entries)
        status, _ = own_choose(driver, "own-zip", path, name)
        check(reason in status and "cannot be played" in status and
              js(driver, "return document.getElementById('own-play').hidden;"),
              "%s refused: \"%s\"" % (name, status), "%s: %r (expected the reason %r)" % (name, status, reason))
    # A drop onto the page takes the same way.
    with open(os.path.join(hostile, "climbing.zip"), "rb") as f:
        dropped = base64.b64encode(f.read()).decode()
    js(driver, """
        document.getElementById('own-status').textContent = '';
        var bytes = Uint8Array.from(atob(arguments[0]), function (c) { return c.charCodeAt(0); });
        var transfer = new DataTransfer();
        transfer.items.add(new File([bytes], 'dropped.zip', { type: 'application/zip' }));
        document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));""",
       dropped)
    status, _ = own_status(driver, "the dropped zip")
    check("dropped.zip\" cannot be played: res/../../evil.dat climbs out" in status,
          "a zip dropped onto the page is checked alike: \"%s\"" % status, "the dropped zip: %r" % status)
    driver.find_element(By.ID, "own-close").click()
    for key in args.keys:
        press(driver, key)
    settle(driver)
    compare_with_replay(driver, args, args.keys, args.seed, "shipped-after-hostile")
    check_console(driver, "with own data")


# --- kept games: continued after a reload and a browser restart, downloaded, watched ---

KEEP_BUDGET_MS = 1.0  # what keeping a key batch may add to a turn, median


def kept_games(driver):
    """The page's kept games as IndexedDB holds them: [{id, seed, level, turn, length}]."""
    return driver.execute_async_script("""
        var done = arguments[arguments.length - 1];
        var request = indexedDB.open('delve-games');
        request.onsuccess = function () {
          var db = request.result;
          if (!db.objectStoreNames.contains('games')) { db.close(); done([]); return; }
          var all = db.transaction('games').objectStore('games').getAll();
          all.onsuccess = function () { db.close(); done(all.result); };
        };
        request.onerror = function () { done(String(request.error)); };""")


def wait_for_kept(driver, length_above, what):
    """Until the newest kept game holds more than `length_above` bytes; it, then."""
    end = time.monotonic() + 10
    while time.monotonic() < end:
        games = kept_games(driver)
        if isinstance(games, list) and games:
            newest = max(games, key=lambda g: g["played"])
            if newest["length"] > length_above:
                return newest
        time.sleep(0.1)
    raise Stop("%s: no kept game grew past %d bytes (%s)" % (what, length_above, kept_games(driver)))


def new_game_if_offered(driver):
    """Past the page's offer to continue a kept game, when it makes one."""
    wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page started")
    if js(driver, "return Delve.state === 'choosing';"):
        driver.find_element(By.ID, "choose-new").click()


def press_all(driver, keys):
    for key in keys:
        press(driver, key)
    settle(driver)


def continue_kept(driver, url, what):
    """Loads the page without a seed: it must offer the kept game; Continue."""
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice to continue (%s)" % what)
    button = driver.find_element(By.ID, "choose-continue")
    label = button.text
    check(button.is_displayed() and driver.find_element(By.ID, "choose-new").is_displayed() and
          not driver.find_element(By.ID, "screen").is_displayed(),
          "%s: before the game starts the page offers \"%s\" and \"New game\"" % (what, label),
          "%s: the page offers %r" % (what, label))
    button.click()
    wait_for(driver, "Delve.state === 'running' && Delve.presents > 0", "the continued game (%s)" % what)
    settle(driver)
    return label


def window_recording(args, keys):
    """A game played in the real window (Xvfb, xdotool) and quit with Escape:
    its recording."""
    data = os.path.join(args.work, "window-data")
    shutil.copytree(os.path.join(args.game, "res"), os.path.join(data, "res"))
    shutil.copytree(os.path.join(args.game, "tiles"), os.path.join(data, "tiles"))
    reader, writer = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "960x720x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(writer,))
    os.close(writer)
    try:
        with os.fdopen(reader) as lines:
            display = lines.readline().strip()
        if not display:
            raise Stop("Xvfb did not start")
        env = dict(os.environ, DISPLAY=":" + display, SDL_VIDEODRIVER="x11")
        game = subprocess.Popen([os.path.join(args.game, "delve"), "--data", data, "--seed", str(args.seed)],
                                cwd=data, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(game.pid)],
                                    env=env, capture_output=True, text=True, timeout=20).stdout.split()[0]
            subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=False)
            names = {" ": "space", "\x1b": "Escape"}
            for key in keys + "\x1b":
                subprocess.run(["xdotool", "key", names.get(key, key)], env=env, check=True)
                time.sleep(0.15)
            game.wait(timeout=20)
        finally:
            if game.poll() is None:
                game.kill()
    finally:
        xvfb.kill()
    folder = os.path.join(data, "recordings")
    # Only the recordings: a cleanly ended game also keeps its picture there.
    made = sorted(n for n in os.listdir(folder) if n.endswith(".rec")) if os.path.isdir(folder) else []
    if not made:
        raise Stop("the window left no recording")
    return os.path.join(folder, made[-1])


def check_kept_upgrade(args, recording, keys):
    """A browser that kept a game with the page before its storage had
    pictures (database version 1): the page takes the storage on, offers
    the game, and Continue plays it on exactly."""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-upgrade-", dir=args.work))
    try:
        # Any page of the same origin that runs nothing: the manifest.
        driver.get(args.url.rsplit("/", 1)[0] + "/manifest.webmanifest")
        with open(recording, "rb") as f:
            text = f.read().decode("latin-1")
        made = driver.execute_async_script("""
            var done = arguments[arguments.length - 1], text = arguments[0], seed = arguments[1];
            var request = indexedDB.open('delve-games', 1);
            request.onupgradeneeded = function () {
              request.result.createObjectStore('games', { keyPath: 'id' });
              request.result.createObjectStore('pieces');
            };
            request.onsuccess = function () {
              var db = request.result, now = Date.now();
              var bytes = Uint8Array.from(text, function (c) { return c.charCodeAt(0); });
              var t = db.transaction(['games', 'pieces'], 'readwrite');
              t.objectStore('games').put({ id: now * 1000, started: now, played: now, seed: String(seed),
                                           level: 1, turn: 5, ended: 'quit', length: bytes.length, data: '' });
              t.objectStore('pieces').put(bytes, [now * 1000, 0]);
              t.oncomplete = function () { db.close(); done(true); };
              t.onerror = function () { done(String(t.error)); };
            };
            request.onerror = function () { done(String(request.error)); };""", text, args.seed)
        if made is not True:
            raise Stop("could not make a version 1 store of kept games: %s" % made)
        continue_kept(driver, args.url, "kept by the page before pictures")
        compare_with_replay(driver, args, keys, args.seed, "continued from storage of version 1")
        version = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            indexedDB.databases().then(function (all) {
              done(all.filter(function (d) { return d.name === 'delve-games'; }).map(function (d) { return d.version; }));
            });""")
        check(version == [2], "the storage of kept games is taken on to version 2",
              "the storage of kept games is at version %s" % version)
    finally:
        driver.quit()


def check_kept(args):
    """In a browser of its own: a game is kept as it is played; reloaded, the
    page offers it and Continue plays on exactly; so after the browser
    restarts on the same profile; Download gives a recording delve-replay
    checks; a window's recording plays in the page; and with storage
    refused the game plays on and the page says so."""
    profile = tempfile.mkdtemp(prefix="chromium-kept-", dir=args.work)
    downloads = os.path.join(args.work, "downloads")
    os.makedirs(downloads)
    url = args.url
    driver = start_browser(profile)
    try:
        first, second, third = args.keys, "2486 ", "6w82"
        driver.get(url + "?seed=%d" % args.seed)
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (kept)")
        settle(driver)
        press_all(driver, first)
        game = wait_for_kept(driver, 0, "the first keys")
        check(game["seed"] == str(args.seed) and game["turn"] > 0,
              "the game is kept as it is played: seed %s, level %s, turn %s, %d bytes"
              % (game["seed"], game["level"], game["turn"], game["length"]),
              "the kept game is %r" % game)

        # Keeping each batch costs the turn little: the page's own share,
        # measured over move keys.
        before = js(driver, "return Delve.keepTimes.length;")
        generator = random.Random(args.seed)
        moves = "".join(generator.choice("2468") for _ in range(60))
        press_all(driver, moves)
        first += moves
        times = js(driver, "return Delve.keepTimes.slice(arguments[0]);", before)
        turns = js(driver, "return Delve.turnTimes.slice(-60);")
        median = statistics.median(times) if times else float("inf")
        check(len(times) >= 50 and median <= KEEP_BUDGET_MS,
              "budget: keeping each key batch takes %.3f ms of a turn, median over %d batches (mean %.3f ms, "
              "limit %.0f ms; the turn itself %.2f ms)"
              % (median, len(times), statistics.mean(times), KEEP_BUDGET_MS, statistics.median(turns)),
              "budget: keeping each key batch takes %.3f ms, median over %d batches (limit %.0f ms)"
              % (median, len(times), KEEP_BUDGET_MS))
        length = wait_for_kept(driver, 0, "the moves")["length"]

        # Reloaded without a seed: Continue, more keys, the picture of all keys.
        label = continue_kept(driver, url, "after a reload")
        check("seed %d" % args.seed in label and "turn" in label and "level" in label,
              "the Continue button names the seed, level and turn", "the Continue button says %r" % label)
        press_all(driver, second)
        compare_with_replay(driver, args, first + second, args.seed, "continued after a reload")
        length = wait_for_kept(driver, length, "the continued game's keys")["length"]

        # The browser closed and started again on the same profile.
        driver.quit()
        driver = start_browser(profile)
        continue_kept(driver, url, "after a browser restart")
        press_all(driver, third)
        compare_with_replay(driver, args, first + second + third, args.seed, "continued after a browser restart")
        wait_for_kept(driver, length, "the keys after the restart")
        games = kept_games(driver)
        check(len(games) == 1, "one game kept however often it was continued",
              "%d games kept after continuing one" % len(games))

        # A second page of the same browser cannot play on the game this one plays.
        playing = driver.current_window_handle
        driver.switch_to.new_window("tab")
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice in a second page")
        driver.find_element(By.ID, "choose-continue").click()
        wait_for(driver, "/open in another page/.test(document.getElementById('note').textContent)",
                 "the second page refusing the game", 10)
        check(js(driver, "return Delve.state === 'choosing' && !document.getElementById('choose').hidden;"),
              "a game open in one page is refused in another: \"%s\", New game still offered"
              % driver.find_element(By.ID, "note").text,
              "a second page continuing the open game: state %s" % js(driver, "return Delve.state;"))
        driver.close()
        driver.switch_to.window(playing)

        # Quit with Escape: the game comes back as it was just before it.
        ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        wait_for(driver, "Delve.state === 'ended'", "the end of the kept game", 10)
        continue_kept(driver, url, "after Escape")
        fourth = "8"
        press_all(driver, fourth)
        compare_with_replay(driver, args, first + second + third + fourth, args.seed, "continued after Escape")

        # Download: delve-replay checks the file and ends on the same picture.
        driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        page_png = os.path.join(args.work, "kept-page.png")
        canvas_png(driver, page_png)
        driver.find_element(By.ID, "games-open").click()
        wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the list of kept games")
        row = driver.find_element(By.CSS_SELECTOR, "#games-list li").text
        driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Download']").click()
        end = time.monotonic() + 10
        while time.monotonic() < end and not [n for n in os.listdir(downloads) if n.endswith(".rec")]:
            time.sleep(0.1)
        names = [n for n in os.listdir(downloads) if n.endswith(".rec")]
        if not names:
            raise Stop("Download gave no .rec file (%s)" % os.listdir(downloads))
        downloaded = os.path.join(downloads, names[0])
        replayed_png = os.path.join(args.work, "kept-downloaded.png")
        result = subprocess.run([args.replay, "--dir", args.game, "--recording", downloaded,
                                 "--screenshot", replayed_png], capture_output=True, text=True)
        differing = differing_pixels(page_png, replayed_png, os.path.join(args.work, "kept-downloaded-diff.png"))
        check(result.returncode == 0 and differing == "0" and re.match(r"\d{4}-\d\d-\d\d_\d{6}_seed-%d\.rec$"
                                                                       % args.seed, names[0]),
              "Download gives %s (listed as \"%s\"): delve-replay --recording exits 0 on the page's picture"
              % (names[0], " ".join(row.split()[:8])),
              "the downloaded %s: delve-replay exits %d (%s), %s pixels differ"
              % (names[0], result.returncode, result.stderr.strip(), differing))

        # A recording made in the window, opened in the page: it ends on its picture.
        recording = window_recording(args, "x6688w2")
        check_kept_upgrade(args, recording, "x6688w2")
        expected_png = os.path.join(args.work, "window-replay.png")
        subprocess.run([args.replay, "--dir", args.game, "--recording", recording, "--screenshot", expected_png],
                       check=True, capture_output=True)
        driver.find_element(By.ID, "games-file").send_keys(recording)
        wait_for(driver, "Delve.state === 'running' && /Playback/.test(document.title)", "the window's recording watched")
        wait_for(driver, "/finished/.test(document.title)", "the window's recording played to its end", 30)
        watched_png = os.path.join(args.work, "window-watched.png")
        canvas_png(driver, watched_png)
        differing = differing_pixels(watched_png, expected_png, os.path.join(args.work, "window-watched-diff.png"))
        check(differing == "0", "a window's recording watched in the page ends on its picture (\"%s\")"
              % driver.title, "a window's recording watched in the page differs in %s pixels" % differing)

        # A file that is not a recording is refused, in one line. It is opened
        # once the game has ended, so it is carried over a reload: at 6 MB,
        # more than sessionStorage holds.
        garbled = os.path.join(args.work, "garbled.rec")
        with open(garbled, "wb") as out:
            out.write(b"delve-recording 1\nprogram 0.2.0\nnot a line of a recording\n")
            out.write((b"x" * 99 + b"\n") * (6 * 1024 * 1024 // 100))
        driver.find_element(By.ID, "games-open").click()
        driver.find_element(By.ID, "games-file").send_keys(garbled)
        wait_for(driver, "Delve.state === 'ended' && /cannot be watched/.test(document.getElementById('note').textContent)",
                 "the garbled recording refused")
        ok("a file that is not a recording, of 6 MB, is carried over the reload and refused: \"%s\""
           % driver.find_element(By.ID, "note").text)
        console_errors(driver)  # said on stderr too

        # The kept game watched from the list, fast: it ends on the page's picture.
        driver.find_element(By.ID, "games-open").click()
        wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the list of kept games")
        driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Watch']").click()
        wait_for(driver, "Delve.state === 'running' && /Playback/.test(document.title)", "the kept game watched")
        ActionChains(driver).send_keys("+++++").perform()
        wait_for(driver, "/finished/.test(document.title)", "the kept game played to its end", 30)
        watched_png = os.path.join(args.work, "kept-watched.png")
        canvas_png(driver, watched_png)
        differing = differing_pixels(watched_png, page_png, os.path.join(args.work, "kept-watched-diff.png"))
        check(differing == "0", "Watch plays the kept game to the picture it was left at (\"%s\")" % driver.title,
              "the kept game watched ends %s pixels away from where it was left" % differing)

        check_console(driver, "with kept games")

        # A kept game that no longer matches (its first checkpoint spoilt) is
        # refused as the window refuses it, and left as it was.
        spoilt = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            indexedDB.open('delve-games').onsuccess = function (event) {
              var db = event.target.result;
              var pieces = db.transaction('pieces', 'readwrite').objectStore('pieces');
              var cursor = pieces.openCursor();
              var total = 0;
              cursor.onsuccess = function () {
                var at = cursor.result;
                if (!at) { db.close(); done(total); return; }
                var text = String.fromCharCode.apply(null, at.value);
                var spoilt = text.replace(/^p 50 [0-9a-f]{16}$/m, 'p 50 0123456789abcdef');
                if (spoilt !== text) {
                  at.update(Uint8Array.from(spoilt, function (c) { return c.charCodeAt(0); }));
                  total++;
                }
                at.continue();
              };
            };""")
        before = kept_games(driver)
        continue_kept(driver, url, "with a spoilt checkpoint")
        wait_for(driver, "/Cannot continue/.test(document.title)", "the refusal of a spoilt game", 20)
        title = driver.title
        ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        wait_for(driver, "Delve.state === 'ended'", "the end after a refused game", 10)
        console_errors(driver)  # the refusal is said on stderr too, as in the window
        note_text = driver.find_element(By.ID, "note").text
        check(spoilt == 1 and "does not match" in note_text and kept_games(driver) == before,
              "a kept game that no longer matches is refused (\"%s\"; \"%s\") and left as it was"
              % (title, note_text),
              "a spoilt kept game (%d checkpoint spoilt): title %r, note %r" % (spoilt, title, note_text))

        # Delete: the game is gone from the list and from the browser.
        driver.find_element(By.ID, "games-open").click()
        wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the list of kept games")
        driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Delete']").click()
        wait_for(driver, "document.querySelectorAll('#games-list li').length === 0 && "
                         "!document.getElementById('games-empty').hidden", "the game deleted")
        left = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            indexedDB.open('delve-games').onsuccess = function (event) {
              var db = event.target.result, t = db.transaction(['pieces', 'pictures']);
              var pieces = t.objectStore('pieces').count(), pictures = t.objectStore('pictures').count();
              t.oncomplete = function () { db.close(); done([pieces.result, pictures.result]); };
            };""")
        check(kept_games(driver) == [] and left == [0, 0],
              "Delete removes the game from the browser, its recording and its picture with it",
              "after Delete the browser keeps %s, and %s pieces and pictures" % (kept_games(driver), left))
    finally:
        driver.quit()

    # Storage full part of the way: the page says so, and what it kept is a
    # sound recording.
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-full-", dir=args.work))
    try:
        driver.execute_cdp_cmd("Storage.overrideQuotaForOrigin",
                               {"origin": url.split("/index.html")[0], "quotaSize": 4096})
        driver.get(url + "?seed=%d" % args.seed)
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (storage full)")
        settle(driver)
        press_all(driver, args.keys * 3)
        wait_for(driver, "/keeps no more|cannot be kept/.test(document.getElementById('note').textContent)",
                 "the note that storage is full", 10)
        kept = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            indexedDB.open('delve-games').onsuccess = function (event) {
              var all = event.target.result.transaction('pieces').objectStore('pieces').getAll();
              all.onsuccess = function () {
                done(all.result.map(function (piece) { return String.fromCharCode.apply(null, piece); }).join(''));
              };
            };""")
        path = os.path.join(args.work, "full.rec")
        with open(path, "wb") as out:
            out.write(kept.encode("latin-1"))
        result = subprocess.run([args.replay, "--dir", args.game, "--recording", path], capture_output=True, text=True)
        check(not kept or result.returncode == 0,
              "with storage full the page says \"%s\"; %s"
              % (driver.find_element(By.ID, "note").text, "what it kept (%d bytes) replays" % len(kept)
                 if kept else "it kept nothing"),
              "with storage full, the %d bytes kept give delve-replay exit %d: %s"
              % (len(kept), result.returncode, result.stderr.strip()))
    finally:
        driver.quit()

    # Storage refused, as in a private window: the game plays, and the page says so once.
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-unkept-", dir=args.work))
    try:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source":
            "Object.defineProperty(window, 'indexedDB', { get: function () {"
            " throw new DOMException('The user denied permission to access the database.', 'SecurityError'); } });"})
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (storage refused)")
        settle(driver)
        press_all(driver, "x@%d\r%s" % (args.seed, args.keys))
        compare_with_replay(driver, args, "x@%d\r%s" % (args.seed, args.keys), None, "storage refused")
        note = driver.find_element(By.ID, "note")
        check(note.is_displayed() and "cannot be kept" in note.text,
              "with storage refused the game plays and the page says: \"%s\"" % note.text,
              "with storage refused the note is %r" % note.text)
    finally:
        driver.quit()


def check_kept_from_title(args):
    """A game still on its title screen while "Your games" is opened in its
    own page and the page is opened in a second tab (each lists the kept
    games, and drops those that never got past the title): once played, it
    is kept whole, and after a browser restart the page offers it and
    Continue brings back its picture."""
    profile = tempfile.mkdtemp(prefix="chromium-title-", dir=args.work)
    driver = start_browser(profile)
    try:
        driver.get(args.url)
        wait_for(driver, "window.Delve && Delve.state === 'running' && Delve.presents > 0",
                 "a new game in a new browser")
        settle(driver)
        press(driver, "x")  # the overview ends: the title screen waits
        settle(driver)
        driver.find_element(By.ID, "games-open").click()
        wait_for(driver, "document.getElementById('games-dialog').open", "the games list on the title")
        driver.find_element(By.ID, "games-close").click()
        playing = driver.current_window_handle
        driver.switch_to.new_window("tab")
        driver.get(args.url)
        wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page in a second tab")
        driver.close()
        driver.switch_to.window(playing)
        js(driver, "document.getElementById('screen').focus();")
        keys = "@%d\r%s" % (args.seed, args.keys)
        press_all(driver, keys)
        before = os.path.join(args.work, "title-kept-before.png")
        canvas_png(driver, before)
        game = wait_for_kept(driver, 0, "the game started after the list and a second tab")
        # The game's last batch is kept once the program waits again.
        end = time.monotonic() + 10
        while time.monotonic() < end and not (game["seed"] == str(args.seed) and game["turn"] >= len(args.keys)):
            time.sleep(0.1)
            game = max(kept_games(driver), key=lambda g: g["played"])
        check(game["seed"] == str(args.seed) and game["turn"] >= len(args.keys),
              "a game on its title while \"Your games\" and a second tab list the kept games is kept "
              "once played: seed %s, turn %s" % (game["seed"], game["turn"]),
              "the game opened beside \"Your games\" and a second tab is kept as %r" % game)
        driver.quit()
        driver = start_browser(profile)
        label = continue_kept(driver, args.url, "a game begun beside the list, after a browser restart")
        after = os.path.join(args.work, "title-kept-after.png")
        canvas_png(driver, after)
        differing = differing_pixels(before, after, os.path.join(args.work, "title-kept-difference.png"))
        check("seed %d" % args.seed in label and differing == "0",
              "after a browser restart \"%s\" brings back that game's picture" % label,
              "after a browser restart \"%s\": %s pixels differ from the game left" % (label, differing))
    finally:
        driver.quit()


CONTINUE_BUDGET_S = 3.0  # a 10,000-turn game continued, Continue to its picture
# A 1,000-turn game continued, in CI: drawing all of it again takes the page
# about 2.6 s, so within this it was continued from a picture kept on the way.
SHORT_CONTINUE_LIMIT_S = 1.0


def kept_recording(driver, game_id):
    """The recording IndexedDB holds for a kept game, and whether it holds a
    picture beside it."""
    text, has_picture = driver.execute_async_script("""
        var done = arguments[arguments.length - 1], id = arguments[0];
        var request = indexedDB.open('delve-games');
        request.onsuccess = function () {
          var db = request.result;
          var t = db.transaction(['pieces', 'pictures']);
          var pieces = t.objectStore('pieces').getAll(IDBKeyRange.bound([id, 0], [id, Infinity]));
          var picture = t.objectStore('pictures').get(id);
          t.oncomplete = function () {
            var text = '';
            pieces.result.forEach(function (piece) {
              for (var i = 0; i < piece.length; i += 8192) {
                text += String.fromCharCode.apply(null, piece.subarray(i, i + 8192));
              }
            });
            db.close();
            done([text, picture.result instanceof Uint8Array && picture.result.length > 0]);
          };
        };
        request.onerror = function () { done(['', false]); };""", game_id)
    return text.encode("latin-1"), has_picture


def measure_long_continue(args, turns, limit_s=None):
    """Plays `turns` turns of move keys (and Space now and then) as fast as the
    page takes them, then continues the game after a reload: the time from
    Continue to the game's picture, against the budget for 10,000 turns (or
    `limit_s`), and the picture against delve-replay of the kept recording."""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-long-", dir=args.work))
    driver.set_script_timeout(1800)
    try:
        driver.get(args.url + "?seed=%d" % args.seed)
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (long game)")
        settle(driver)
        started = time.monotonic()
        driver.execute_async_script("""
            var done = arguments[arguments.length - 1], left = arguments[0], seed = 17;
            var wait = Module.page.wait;
            Module.page.wait = function (ms) {
              var woken = wait(ms);
              if (left > 0) {
                left--;
                seed = (seed * 1103515245 + 12345) % 2147483648;
                Delve.queueKey(seed % 50 === 0 ? ' ' : '2468'.charAt(seed % 4));
              } else {
                Module.page.wait = wait;
                setTimeout(done, 0);
              }
              return woken;
            };
            Delve.queueKey('6');""", turns)
        played = time.monotonic() - started
        time.sleep(1)
        game = max(kept_games(driver), key=lambda g: g["played"])
        _, has_picture = kept_recording(driver, game["id"])
        ok("long game: %d keys played in %.0f s, kept at turn %d, level %d, %d KB, %s"
           % (turns, played, game["turn"], game["level"], game["length"] // 1024,
              "a picture kept beside it" if has_picture else "no picture kept beside it"))
        driver.get(args.url)
        wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice (long game)")
        clicked = time.monotonic()
        driver.find_element(By.ID, "choose-continue").click()
        wait_for(driver, "Delve.state === 'running' && Delve.presents > 0 && Delve.waiting", "the continued long game",
                 120)
        seconds = time.monotonic() - clicked
        budget = limit_s if limit_s is not None else CONTINUE_BUDGET_S * turns / 10000.0
        check(seconds <= budget,
              "budget: a %d-turn game continued in %.2f s, Continue to its picture (limit %.1f s)"
              % (game["turn"], seconds, budget),
              "budget: a %d-turn game continued in %.2f s, Continue to its picture (limit %.1f s)"
              % (game["turn"], seconds, budget))
        # What it shows is the end of its recording, as delve-replay plays it.
        recording, _ = kept_recording(driver, game["id"])
        path = os.path.join(args.work, "long.rec")
        with open(path, "wb") as out:
            out.write(recording)
        expected = os.path.join(args.work, "long-replay.png")
        subprocess.run([args.replay, "--dir", args.game, "--recording", path, "--screenshot", expected],
                       check=True, stdout=subprocess.DEVNULL)
        web = os.path.join(args.work, "long-page.png")
        canvas_png(driver, web)
        differing = differing_pixels(web, expected, os.path.join(args.work, "long-difference.png"))
        check(differing == "0",
              "the continued %d-turn game shows the picture of its recording pixel for pixel" % game["turn"],
              "the continued %d-turn game differs from its recording's picture in %s pixels (see %s)"
              % (game["turn"], differing, args.work))
    finally:
        driver.quit()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--url", required=True)
    parser.add_argument("--replay", required=True)
    parser.add_argument("--game", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--own-data-screenshot", help="save the page offering a player's own data as this PNG")
    parser.add_argument("--web", help="the built page's folder, for the checks of the page as an app")
    parser.add_argument("--seed", type=int, default=17)
    parser.add_argument("--keys", default="6688w26 4v")
    parser.add_argument("--turns", type=int, default=160)
    parser.add_argument("--page-screenshot", help="save the page after the ?seed= keys as this PNG")
    parser.add_argument("--touch-screenshot", help="save the page with touch controls on a phone as this PNG")
    parser.add_argument("--only-kept", action="store_true", help="only the checks of kept games")
    parser.add_argument("--long-continue", type=int, metavar="TURNS",
                        help="only measure continuing a game of TURNS keys (10000 for the budget)")
    args = parser.parse_args()
    if args.long_continue:
        try:
            measure_long_continue(args, args.long_continue)
        except (Stop, WebDriverException) as error:
            fail(str(error).strip().splitlines()[0] if str(error).strip() else repr(error))
        return 1 if failures else 0
    if args.only_kept:
        try:
            check_kept(args)
            check_kept_from_title(args)
        except (Stop, WebDriverException, subprocess.CalledProcessError) as error:
            fail(str(error).strip().splitlines()[0] if str(error).strip() else repr(error))
        return 1 if failures else 0

    profile = tempfile.mkdtemp(prefix="chromium-", dir=args.work)
    driver = start_browser(profile)
    driver.set_page_load_timeout(30)
    driver.execute_cdp_cmd("Performance.enable", {})
    typed = "@%d\r%s" % (args.seed, args.keys)
    try:
        # --- load, the title budget, keys typed one by one ------------------
        driver.get(args.url)
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture")
        settle(driver)
        overview_at = js(driver, "return Delve.lastPresentAt;") / 1000.0
        check_idle(driver, "the definition overview")
        presents = js(driver, "return Delve.presents;")
        # "x" ends the overview and is then taken by the title screen. The
        # overview waits for a key: the time a player looks at it is not the
        # program's, so the title's time is the load to the overview plus the
        # overview's key to the title.
        press(driver, "x")
        settle(driver, presents)
        key_at, title_at = js(driver, "return [Delve.lastKeyAt, Delve.lastPresentAt];")
        title_s = overview_at + (title_at - key_at) / 1000.0
        check(title_s <= TITLE_BUDGET_S,
              "budget: title drawn %.3f s after the load began (overview %.3f s, then %.0f ms "
              "from its key to the title; limit %.1f s)"
              % (title_s, overview_at, title_at - key_at, TITLE_BUDGET_S),
              "budget: title drawn %.3f s after the load began (limit %.1f s)" % (title_s, TITLE_BUDGET_S))
        check_idle(driver, "the title screen")
        for key in typed:
            press(driver, key)
        settle(driver)
        compare_with_replay(driver, args, "x" + typed, None, "typed")
        check_encounter_file(driver, args, "typed")
        check_placement(driver)
        check_fullscreen(driver)
        check_console(driver, "while playing")

        # --- a seed in the address ------------------------------------------
        driver.get(args.url + "?seed=%d" % args.seed)
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (?seed=)")
        settle(driver)
        for key in args.keys:
            press(driver, key)
        settle(driver)
        compare_with_replay(driver, args, args.keys, args.seed, "seed-link")
        if args.page_screenshot:
            save_page(driver, args.page_screenshot)
        check_idle(driver, "the play screen")

        # --- the turn budgets: move keys, one at a time ---------------------
        check_turn_budgets(driver, args)

        # --- Escape ends the program: the ended view, and Play again ---------
        press_escape = ActionChains(driver).send_keys(Keys.ESCAPE)
        press_escape.perform()
        wait_for(driver, "Delve.state === 'ended'", "the ended view after Escape", 10)
        view = driver.find_element(By.ID, "ended")
        check(view.is_displayed() and "The game has ended" in view.text and
              not driver.find_element(By.ID, "screen").is_displayed(),
              "Escape ends the game: \"%s\" instead of the canvas" % " ".join(view.text.split()),
              "after Escape the ended view is not what it should be: %r" % view.text)
        driver.find_element(By.ID, "again").click()
        wait_for(driver, "window.Delve && Delve.state === 'running' && Delve.presents > 0",
                 "the game again after Play again")
        ok("Play again starts the game again")
        check_console(driver, "around the end")

        check_gamepad(driver, args)

        # --- a bad seed parameter, and which keys stay the browser's -----------
        driver.get(args.url + "?seed=seventeen")
        new_game_if_offered(driver)
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (bad ?seed=)")
        note = driver.find_element(By.ID, "note")
        check(note.is_displayed() and "seventeen" in note.text and "ignored" in note.text,
              "a bad seed is ignored with a note: \"%s\"" % note.text,
              "no note for a bad seed (note: %r)" % note.text)
        check_default_prevented(driver)
        check_console(driver, "with a bad seed")

        # --- readable failures ------------------------------------------------
        driver.execute_cdp_cmd("Network.enable", {})
        # The page's kept files would stand in for the blocked ones.
        driver.execute_cdp_cmd("Network.setBypassServiceWorker", {"bypass": True})
        for blocked in ("delve.data", "delve.wasm", "delve.js"):
            driver.execute_cdp_cmd("Network.setBlockedURLs", {"urls": ["*" + blocked]})
            driver.get(args.url)
            wait_for(driver, "window.Delve && Delve.state === 'failed'", "a failure without " + blocked)
            text = driver.find_element(By.ID, "failed-text").text
            check("could not be loaded" in text and blocked in text,
                  "without %s the page says: \"%s\"" % (blocked, text),
                  "without %s the page says: %r" % (blocked, text))
        driver.execute_cdp_cmd("Network.setBlockedURLs", {"urls": []})
        script = driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                        {"source": "delete window.WebAssembly;"})
        driver.get(args.url)
        wait_for(driver, "window.Delve && Delve.state === 'failed'", "a failure without WebAssembly")
        text = driver.find_element(By.ID, "failed-text").text
        check("WebAssembly" in text, "without WebAssembly the page says: \"%s\"" % text,
              "without WebAssembly the page says: %r" % text)
        driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", {"identifier": script["identifier"]})
        console_errors(driver)  # the failures above log their own errors, as they should

        # --- touch: controls, a tap on the map, reports for screen readers ----
        check_touch(driver, args)

        # --- a player's own data ----------------------------------------------
        started = time.monotonic()
        check_own_data(driver, args)
        print("web-e2e: the own data checks took %.0f s" % (time.monotonic() - started), flush=True)

        # --- kept games -----------------------------------------------------
        started = time.monotonic()
        check_kept(args)
        check_kept_from_title(args)
        measure_long_continue(args, 1000, SHORT_CONTINUE_LIMIT_S)
        print("web-e2e: the kept games checks took %.0f s" % (time.monotonic() - started), flush=True)

        # --- the page as an app ---------------------------------------------
        if args.web:
            started = time.monotonic()
            check_app(args)
            print("web-e2e: the app checks took %.0f s" % (time.monotonic() - started), flush=True)
    except (Stop, WebDriverException, subprocess.CalledProcessError) as error:
        fail(str(error).strip().splitlines()[0] if str(error).strip() else repr(error))
        try:
            driver.save_screenshot(os.path.join(args.work, "failure.png"))
        except WebDriverException:
            pass
    finally:
        driver.quit()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
