"""The page in headless Chromium, driven as a player would drive it.

Run by scripts/web-e2e (which builds, serves and checks the files); this part
talks to the browser through chromedriver and Selenium. Every check prints
"ok ..." or "FAIL ..."; the exit status is 1 when any check failed.
"""

import argparse
import base64
import json
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile
import time

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
    if shot:
        # Portrait, then landscape, side by side on the page's own black.
        subprocess.run(["convert", "-background", "#202020", pictures[1], "-size", "16x1", "xc:#202020",
                        pictures[0], "+append", shot], check=True)
        for picture in pictures:
            os.remove(picture)
        ok("saved the page on a phone as %s" % shot)


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
    check_phone_layouts(driver, args.touch_screenshot)
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})
    check_console(driver, "with touch")


def check_turn_budgets(driver, args):
    """The median turn, key to canvas, over --turns move keys as they come,
    first at this machine's speed, then with the processor slowed down as a
    phone's is; and the WebAssembly memory after them all."""
    generator = random.Random(args.seed)
    for slowdown, budget in ((1, TURN_BUDGET_MS), (PHONE_SLOWDOWN, SLOWED_TURN_BUDGET_MS)):
        driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": slowdown})
        try:
            before = js(driver, "return Delve.turnTimes.length;")
            for _ in range(args.turns):
                press(driver, generator.choice("2468"))
            times = js(driver, "return Delve.turnTimes.slice(arguments[0]);", before)
        finally:
            driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": 1})
        where = "processor slowed %dx" % slowdown if slowdown > 1 else "this processor"
        if not check(len(times) == args.turns, "%d turns measured (%s)" % (args.turns, where),
                     "%d of %d turns measured (%s)" % (len(times), args.turns, where)):
            continue
        median = statistics.median(times)
        check(median <= budget,
              "budget: a turn, key to canvas, %s: median %.2f ms over %d keys (90%% within %.2f ms, "
              "slowest %.2f ms; limit %.0f ms)"
              % (where, median, len(times), sorted(times)[int(len(times) * 0.9)], max(times), budget),
              "budget: a turn, key to canvas, %s: median %.2f ms (limit %.0f ms)" % (where, median, budget))
    memory = js(driver, "return Module.HEAPU8 ? Module.HEAPU8.buffer.byteLength : -1;") / 1048576.0
    check(0 < memory <= WASM_MEMORY_LIMIT_MIB,
          "budget: the page's WebAssembly memory after %d turns is %.1f MiB (limit %d MiB)"
          % (2 * args.turns, memory, WASM_MEMORY_LIMIT_MIB),
          "budget: the page's WebAssembly memory after %d turns is %.1f MiB (limit %d MiB)"
          % (2 * args.turns, memory, WASM_MEMORY_LIMIT_MIB))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--url", required=True)
    parser.add_argument("--replay", required=True)
    parser.add_argument("--game", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seed", type=int, default=17)
    parser.add_argument("--keys", default="6688w26 4v")
    parser.add_argument("--turns", type=int, default=160)
    parser.add_argument("--page-screenshot", help="save the page after the ?seed= keys as this PNG")
    parser.add_argument("--touch-screenshot", help="save the page with touch controls on a phone as this PNG")
    args = parser.parse_args()

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
        wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (bad ?seed=)")
        note = driver.find_element(By.ID, "note")
        check(note.is_displayed() and "seventeen" in note.text and "ignored" in note.text,
              "a bad seed is ignored with a note: \"%s\"" % note.text,
              "no note for a bad seed (note: %r)" % note.text)
        check_default_prevented(driver)
        check_console(driver, "with a bad seed")

        # --- readable failures ------------------------------------------------
        driver.execute_cdp_cmd("Network.enable", {})
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
