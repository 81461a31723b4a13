"""Playing the page: keys typed and a seed in the address against
delve-replay, the canvas's placement, full screen, the keys left to the
browser, a gamepad, the ended view, the messages when a file or
WebAssembly is missing, and (asked for its picture) the page as it loads."""

import os
import random
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from e2e.browser import console_errors, js
from e2e.report import Stop
from e2e.web.common import (after_frames, check_console, compare_with_replay, new_game_if_offered, open_page,
                            press, press_all, resize, save_page, settle, wait_for)


def check_encounter_file(run, driver, name):
    """The encounter file the page's game wrote into its memory file system
    equals the one delve-replay just wrote after the same keys."""
    page = bytes(js(driver, "return Array.from(Module.FS.readFile('/game/res/encounter.txt'));"))
    with open(os.path.join(run.game, "res", "encounter.txt"), "rb") as f:
        replayed = f.read()
    run.report.check(page == replayed and page,
                     "%s: the page's res/encounter.txt equals the replay's (%d bytes)" % (name, len(page)),
                     "%s: the page's res/encounter.txt differs from the replay's: %r, %r" % (name, page, replayed))


def check_placement(run, driver):
    """The canvas at the largest whole factor, centred, and shrunk smoothly
    only below one factor; it follows the window."""
    def placement():
        return js(driver, """
            var c = document.getElementById('screen'), s = document.getElementById('stage');
            return [s.clientWidth, s.clientHeight, c.width, c.height, parseFloat(c.style.left),
                    parseFloat(c.style.top), parseFloat(c.style.width), parseFloat(c.style.height),
                    c.style.imageRendering];""")

    for size in ((1200, 1000), (2200, 1800), (700, 600), (1200, 1000)):
        resize(driver, *size)
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
        run.report.check(got == expected,
                         "window %dx%d: canvas at %s" % (size[0], size[1], got),
                         "window %dx%d (area %dx%d): canvas at %s, expected %s"
                         % (size[0], size[1], area_w, area_h, got, expected))


def check_fullscreen(run, driver):
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
            pass  # what it came to is checked below, with the rest
        after_frames(driver)  # the window settles to its new size
        seen.append(js(driver, state))
    keys_after = js(driver, "return Delve.keys;")
    run.report.check(seen == [["stage", "screen"], ["", "screen"]] * 2 and keys_after == keys_before,
                     "Alt+Enter toggles full screen, the Full screen button enters it, the canvas keeps the focus",
                     "full screen toggling went %s (%d keys reached the game)" % (seen, keys_after - keys_before))


def check_default_prevented(run, driver):
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
    run.report.check(not wrong, "preventDefault only for the game's keys (F5, Ctrl+R, Ctrl+W, F11, F12, "
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
    lets go until the page has looked at the pad again (once a frame)."""
    keys_before = js(driver, "return Delve.keys;")
    set_pad(driver, buttons, stick)
    wait_for(driver, "Delve.keys > %d && Delve.waiting" % keys_before, "the gamepad's %s taken" % what, 10)
    set_pad(driver)
    after_frames(driver, 3)
    return js(driver, "return Delve.keys;") - keys_before


def check_gamepad(run, driver):
    """A, the d-pad, the stick, B, X and LT give the keys a player types, and
    the canvas ends up equal to delve-replay's after them; Start quits only
    once held a second."""
    # The seed link leaves the game at the party's first picture, where A
    # (Space) goes on into the level.
    open_page(driver, run.url + "?seed=%d" % run.seed, "gamepad")
    js(driver, SYNTHETIC_PAD)
    counts = []
    for buttons, stick, what in (([PAD_A], (0, 0), "A"), ([PAD_RIGHT], (0, 0), "d-pad right"),
                                 ([], (0.1, 0.9), "stick down"), ([], (-1, 0), "stick left"),
                                 ([PAD_X], (0, 0), "X"), ([PAD_B], (0, 0), "B"), ([PAD_LT], (0, 0), "LT")):
        counts.append(pad_press(driver, buttons, stick, what))
    settle(driver)
    run.report.check(counts == [1] * len(counts), "each gamepad press gave one key",
                     "the gamepad presses gave %s keys" % counts)
    compare_with_replay(run, driver, " 624hbw", run.seed, "gamepad")
    keys_before = js(driver, "return Delve.keys;")
    set_pad(driver, [PAD_START])
    started = time.monotonic()
    time.sleep(0.6)  # Start held this long must not have ended the game yet
    early = js(driver, "return [Delve.state, Delve.keys];")
    wait_for(driver, "Delve.state === 'ended'", "the end after Start held", 5)
    held = time.monotonic() - started
    run.report.check(early == ["running", keys_before] and 0.9 <= held <= 2.5,
                     "Start held ends the game after %.2f s, and not before a second" % held,
                     "Start held: after 0.6 s the page was %s (keys %d before), ended after %.2f s"
                     % (early, keys_before, held))
    check_console(run, driver, "with a gamepad")


def check_missing_files(run, driver):
    """Readable failures: without one of the page's files, or without
    WebAssembly, the page says what is missing."""
    driver.execute_cdp_cmd("Network.enable", {})
    # The page's kept files would stand in for the blocked ones.
    driver.execute_cdp_cmd("Network.setBypassServiceWorker", {"bypass": True})
    for blocked in ("delve.data", "delve.wasm", "delve.js"):
        driver.execute_cdp_cmd("Network.setBlockedURLs", {"urls": ["*" + blocked]})
        driver.get(run.url)
        wait_for(driver, "window.Delve && Delve.state === 'failed'", "a failure without " + blocked)
        text = driver.find_element(By.ID, "failed-text").text
        run.report.check("could not be loaded" in text and blocked in text,
                         "without %s the page says: \"%s\"" % (blocked, text),
                         "without %s the page says: %r" % (blocked, text))
    driver.execute_cdp_cmd("Network.setBlockedURLs", {"urls": []})
    script = driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                    {"source": "delete window.WebAssembly;"})
    driver.get(run.url)
    wait_for(driver, "window.Delve && Delve.state === 'failed'", "a failure without WebAssembly")
    text = driver.find_element(By.ID, "failed-text").text
    run.report.check("WebAssembly" in text, "without WebAssembly the page says: \"%s\"" % text,
                     "without WebAssembly the page says: %r" % text)
    driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", {"identifier": script["identifier"]})
    console_errors(driver)  # the failures above log their own errors, as they should


def save_loading(run, driver, path):
    """The page while its files come slowly: what it is and how far it has
    loaded, over the canvas, until the program's first picture."""
    # At the size of save_page's pictures, measured on the page as it is.
    inner = js(driver, "return [outerWidth - innerWidth, outerHeight - innerHeight, "
                       "document.getElementById('bar').offsetHeight];")
    resize(driver, 984 + inner[0], 736 + inner[1] + inner[2])
    driver.execute_cdp_cmd("Network.enable", {})
    # Neither the page's kept files nor the browser's cache may stand in.
    driver.execute_cdp_cmd("Network.setBypassServiceWorker", {"bypass": True})
    driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
    driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
        "offline": False, "latency": 0, "downloadThroughput": 256 * 1024, "uploadThroughput": -1})
    try:
        # Not driver.get, which would wait for the page's load; the page
        # loaded before is marked, so that its full bar does not count.
        js(driver, "window.before = true; var url = arguments[0];"
                   " setTimeout(function () { location.href = url; }, 0);", run.url)
        wait_for(driver, "!window.before && document.readyState !== 'loading'"
                         " && document.getElementById('progress').value >= 0.3", "a third of the page loaded", 60)
        loading = driver.find_element(By.ID, "loading")
        run.report.check(loading.is_displayed() and "KB" in loading.text
                         and not driver.find_element(By.ID, "screen").is_displayed(),
                         "while it loads the page says so, and how far: \"%s\""
                         % " ".join(loading.text.split()),
                         "while it loads the page shows %r" % loading.text)
        driver.save_screenshot(path)
        run.report.ok("saved the page as it loads as %s" % path)
    finally:
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": False, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": False})
        driver.execute_cdp_cmd("Network.setBypassServiceWorker", {"bypass": False})
    new_game_if_offered(driver)
    wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture after loading slowly")
    run.report.check(not driver.find_element(By.ID, "loading").is_displayed(),
                     "the loading view is gone with the first picture",
                     "the loading view stays over the first picture")
    resize(driver, 1200, 1000)


def check_play(run, driver):
    """Keys typed from the first picture, then a seed in the address, each
    against delve-replay; --turns more move keys one at a time; Escape and
    Play again; a gamepad; a bad seed; which keys stay the browser's."""
    # The definition overview waits for a key: "x" ends it and is then taken
    # by the title screen.
    typed = "@%d\r%s" % (run.seed, run.keys)
    open_page(driver, run.url, "typed")
    presents = js(driver, "return Delve.presents;")
    press(driver, "x")
    settle(driver, presents)
    for key in typed:
        press(driver, key)
    settle(driver)
    compare_with_replay(run, driver, "x" + typed, None, "typed")
    check_encounter_file(run, driver, "typed")
    check_placement(run, driver)
    check_fullscreen(run, driver)
    check_console(run, driver, "while playing")

    open_page(driver, run.url + "?seed=%d" % run.seed, "?seed=")
    press_all(driver, run.keys)
    compare_with_replay(run, driver, run.keys, run.seed, "seed-link")
    if run.page_screenshot:
        save_page(run, driver, run.page_screenshot)
    if run.loading_screenshot:
        save_loading(run, driver, run.loading_screenshot)
        open_page(driver, run.url + "?seed=%d" % run.seed, "?seed= again")
        press_all(driver, run.keys)

    # Many turns, each key as it comes, as a player walks about.
    generator = random.Random(run.seed)
    moves = "".join(generator.choice("2468") for _ in range(run.turns))
    press_all(driver, moves)
    compare_with_replay(run, driver, run.keys + moves, run.seed, "seed-link, %d more turns" % run.turns)

    # Escape ends the program: the ended view, and Play again.
    ActionChains(driver).send_keys(Keys.ESCAPE).perform()
    wait_for(driver, "Delve.state === 'ended'", "the ended view after Escape", 10)
    view = driver.find_element(By.ID, "ended")
    run.report.check(view.is_displayed() and "The game has ended" in view.text and
                     not driver.find_element(By.ID, "screen").is_displayed(),
                     "Escape ends the game: \"%s\" instead of the canvas" % " ".join(view.text.split()),
                     "after Escape the ended view is not what it should be: %r" % view.text)
    driver.find_element(By.ID, "again").click()
    wait_for(driver, "window.Delve && Delve.state === 'running' && Delve.presents > 0",
             "the game again after Play again")
    run.report.ok("Play again starts the game again")
    check_console(run, driver, "around the end")

    check_gamepad(run, driver)

    # A bad seed parameter, and which keys stay the browser's.
    driver.get(run.url + "?seed=seventeen")
    new_game_if_offered(driver)
    wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (bad ?seed=)")
    note = driver.find_element(By.ID, "note")
    run.report.check(note.is_displayed() and "seventeen" in note.text and "ignored" in note.text,
                     "a bad seed is ignored with a note: \"%s\"" % note.text,
                     "no note for a bad seed (note: %r)" % note.text)
    check_default_prevented(run, driver)
    check_console(run, driver, "with a bad seed")
