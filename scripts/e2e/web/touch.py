"""The page on a touch screen: the touch pad (each tap one key), a tap on the
map walking as typing its moves would, the reports in the aria-live log,
full screen, and the layouts and reach of every control on phones."""

import json
import os
import re
import subprocess
import sys
import time

from selenium.webdriver.common.by import By

from e2e.browser import js, replay_screenshot
from e2e.report import Stop
from e2e.web.common import (SOURCE_ROOT, after_frames, check_console, compare_with_replay, open_page, settle,
                            wait_for)

WALK_TARGET = os.path.join(SOURCE_ROOT, "scripts", "walk-target.py")
PHONES = ((844, 390), (390, 844))  # CSS pixels, landscape and portrait
# Phones from the smallest still sold upright to a large one on its side.
PHONE_SIZES = ((320, 568), (390, 844), (568, 320), (844, 390))
TOUCH_TARGET_PX = 44
# The touch checks play a seed known to have a seen cell a few free steps
# away after their taps, whatever --seed the other checks play.
TOUCH_SEED = 17

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
    # A second key (a click the browser sends after the touch) would have
    # come by now; there is no event for one that does not come.
    time.sleep(0.2)
    return js(driver, "return Delve.keys;") - before


def phone(driver, width, height):
    """Emulates a phone's screen and waits until the page is laid out on it."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": True})
    wait_for(driver, "innerWidth === %d && innerHeight === %d" % (width, height),
             "the page at %dx%d" % (width, height), 5)
    after_frames(driver)


def last_frame(path):
    with open(path) as f:
        return json.loads(f.read().splitlines()[-1])


def speakable(message):
    """What the page should say for a report: each bracketed part a sentence."""
    parts = [" ".join(p.split()) for p in re.split(r"[\[\]{}]", message)]
    return " ".join(p if p[-1] in ".!?:" else p + "." for p in parts if p)


def rects_apart(a, b):
    return a[2] <= b[0] or b[2] <= a[0] or a[3] <= b[1] or b[3] <= a[1]


def check_phone_layouts(run, driver, shot=None):
    """On a phone, landscape and portrait: the whole canvas and all the
    controls in view, side by side or one under the other, never overlapping."""
    pictures = []
    for width, height in PHONES:
        phone(driver, width, height)
        canvas, panel = js(driver, """
            return ['screen', 'touch'].map(function (id) {
              var r = document.getElementById(id).getBoundingClientRect();
              return [r.left, r.top, r.right, r.bottom]; });""")
        inside = all(0 <= r[0] and 0 <= r[1] and r[2] <= width and r[3] <= height for r in (canvas, panel))
        run.report.check(inside and rects_apart(canvas, panel) and canvas[2] - canvas[0] >= width * 0.45,
                         "phone %dx%d: canvas at %s and controls at %s, both in view"
                         % (width, height, [round(v) for v in canvas], [round(v) for v in panel]),
                         "phone %dx%d: canvas at %s and controls at %s overlap or leave the view"
                         % (width, height, canvas, panel))
        if shot:
            pictures.append(shot + ".%dx%d.png" % (width, height))
            driver.save_screenshot(pictures[-1])
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    return pictures


def check_reach(run, driver, where):
    """At each phone size: no control off the screen or under a finger's
    size, and nothing to scroll sideways."""
    for width, height in PHONE_SIZES:
        phone(driver, width, height)
        seen = js(driver, REACH_SCRIPT, TOUCH_TARGET_PX)
        outside = ["%s at %s" % (c["name"], c["rect"]) for c in seen["controls"] if c["outside"]]
        small = ["%s at %s" % (c["name"], c["rect"]) for c in seen["controls"] if c["small"]]
        run.report.check(
            seen["controls"] and not outside and not small and seen["scrollWidth"] <= width,
            "phone %dx%d, %s: %d controls, each within the screen and at least %d px square, no sideways scroll"
            % (width, height, where, len(seen["controls"]), TOUCH_TARGET_PX),
            "phone %dx%d, %s: off the screen %s; smaller than %d px %s; document %d px wide"
            % (width, height, where, outside, TOUCH_TARGET_PX, small, seen["scrollWidth"]))
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def check_phone_reach(run, driver, pictures):
    """With touch, on phones upright and on their side: playing, on the
    choice to continue, and with each dialog open, every control can be
    reached. A kept game is needed for the choice and the list's rows."""
    driver.get(run.url + "?seed=%d" % TOUCH_SEED)
    wait_for(driver, "window.Delve && Delve.state === 'running' && Delve.presents > 0", "the game (phones)")
    settle(driver)
    check_reach(run, driver, "playing")
    driver.get(run.url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice to continue (phones)")
    check_reach(run, driver, "the choice to continue")
    driver.find_element(By.ID, "choose-games").click()
    wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the games list (phones)")
    check_reach(run, driver, "the games list")
    if run.touch_screenshot:
        phone(driver, 390, 844)
        pictures.insert(1, run.touch_screenshot + ".games.png")
        driver.save_screenshot(pictures[1])
        driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    driver.find_element(By.ID, "games-close").click()
    driver.find_element(By.ID, "own-open").click()
    wait_for(driver, "document.getElementById('own-dialog').open", "the own data dialog (phones)")
    check_reach(run, driver, "the own data dialog")
    driver.find_element(By.ID, "own-close").click()
    # Watching: the watch bar in the touch pad's place, and its Share… dialog.
    driver.get(run.url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice (phones, watching)")
    driver.find_element(By.ID, "choose-games").click()
    wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the games list (phones, watching)")
    driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Watch']").click()
    wait_for(driver, "Delve.state === 'running' && !document.getElementById('watch').hidden", "the watch bar (phones)")
    check_reach(run, driver, "watching")
    driver.find_element(By.ID, "watch-share").click()
    wait_for(driver, "document.getElementById('share-dialog').open && "
                     "!document.getElementById('share-status').textContent.startsWith('Making')", "Share… (phones)")
    check_reach(run, driver, "the share dialog")
    driver.find_element(By.ID, "share-close").click()
    if run.touch_screenshot:
        # Portrait playing, portrait with the games list, then landscape,
        # side by side on the page's own black.
        gap = ["-size", "16x1", "xc:#202020"]
        subprocess.run(["convert", "-background", "#202020", pictures[2]] + gap + [pictures[1]] + gap +
                       [pictures[0], "+append", run.touch_screenshot], check=True)
        for picture in pictures:
            os.remove(picture)
        run.report.ok("saved the page on a phone as %s" % run.touch_screenshot)


def walk_target(trace, toward=None):
    command = [sys.executable, WALK_TARGET, trace]
    if toward:
        command += ["--next", str(toward[0]), str(toward[1])]
    return subprocess.run(command, capture_output=True, text=True).stdout


def check_tap_walk(run, driver, taps, seed):
    """A tap on a seen cell walks there; the walk is its move keys, at about
    a dozen steps a second. Returns the moves."""
    trace = os.path.join(run.work, "touch.trace")
    replay_screenshot(run.replay, run.game, taps, seed, trace + ".png", trace)
    target = walk_target(trace).split()
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
        moves += walk_target(trace, (tx, ty)).strip()
        replay_screenshot(run.replay, run.game, taps + moves, seed, trace + ".png", trace)
    frame = last_frame(trace)
    run.report.check(walked == steps and (frame["partyX"], frame["partyY"]) == (tx, ty),
                     "a tap on the map walked %d steps to %d,%d (\"%s\")" % (walked, tx, ty, moves),
                     "a tap on the map at %d,%d took %d steps (expected %d), ending at %s,%s"
                     % (tx, ty, walked, steps, frame["partyX"], frame["partyY"]))
    compare_with_replay(run, driver, taps + moves, seed, "touch-walk")
    # The pace is what the player sees, not a budget: a walk of a dozen
    # steps a second, however fast the machine.
    pace = (len(shown_at) - 1) * 1000.0 / max(shown_at[-1] - shown_at[0], 1.0)
    run.report.check(8.0 <= pace <= 13.0, "walk pace in the page: %.1f steps a second" % pace,
                     "walk pace in the page: %.1f steps a second (about 12 wanted)" % pace)
    return moves


def check_touch(run, driver):
    seed = TOUCH_SEED
    url = run.url + "?seed=%d" % seed
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'running'", "the page (no touch)")
    run.report.check(not driver.find_element(By.ID, "touch").is_displayed(),
                     "no touch controls without a touch screen", "touch controls are shown without a touch screen")

    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    open_page(driver, url, "touch")
    buttons = driver.find_elements(By.CSS_SELECTOR, "#touch button")
    labelled = [b for b in buttons if b.is_displayed() and b.text.strip() and b.get_attribute("aria-label")]
    run.report.check(len(buttons) == 15 and len(labelled) == 15,
                     "a touch screen shows 15 labelled touch buttons", "touch buttons: %d, labelled and shown: %d"
                     % (len(buttons), len(labelled)))

    # Each tap on a pad button is one key.
    taps = "6688"
    counts = [tap_button(driver, key) for key in taps]
    run.report.check(counts == [1] * len(taps), "each tap on the pad queued exactly one key",
                     "taps on the pad queued %s keys" % counts)
    settle(driver)
    compare_with_replay(run, driver, taps, seed, "touch-pad")
    moves = check_tap_walk(run, driver, taps, seed)

    # A turn with a report: its text in the aria-live log, as sentences.
    tap_button(driver, "v")
    settle(driver)
    trace = os.path.join(run.work, "touch.trace")
    replay_screenshot(run.replay, run.game, taps + moves + "v", seed, trace + ".png", trace)
    message = last_frame(trace)["message"]
    spoken = js(driver, "var r = document.getElementById('reports');"
                        "return [r.getAttribute('aria-live'), r.lastElementChild ? r.lastElementChild.textContent : ''];")
    run.report.check(message and spoken == ["polite", speakable(message)],
                     "the report %s is in the aria-live log as \"%s\"" % (message, spoken[1]),
                     "after the report %r the aria-live log holds %r" % (message, spoken))
    # Full screen keeps the controls (a phone has no key to leave it).
    x, y = js(driver, "var r = document.getElementById('fullscreen').getBoundingClientRect();"
                      "return [r.left + r.width / 2, r.top + r.height / 2];")
    tap(driver, x, y)
    try:
        wait_for(driver, "document.fullscreenElement === document.documentElement", "full screen by a tap", 5)
    except Stop:
        pass  # what it came to is checked below
    run.report.check(js(driver, "return document.fullscreenElement === document.documentElement;") and
                     driver.find_element(By.ID, "touch").is_displayed(),
                     "with touch, full screen shows the whole page, controls included",
                     "with touch, full screen is on %r" % js(driver, "return document.fullscreenElement && "
                                                                     "document.fullscreenElement.id;"))
    js(driver, "if (document.fullscreenElement) document.exitFullscreen();")
    wait_for(driver, "!document.fullscreenElement", "full screen off", 5)
    pictures = check_phone_layouts(run, driver, run.touch_screenshot)
    check_phone_reach(run, driver, pictures)
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})
    check_console(run, driver, "with touch")
