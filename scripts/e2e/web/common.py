"""What the page's checks share: the run they belong to, and driving the page
as a player would (a key at a time, waiting until the program took it)."""

import argparse
import base64
import os
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

from e2e import browser
from e2e.browser import js

SOURCE_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))

# What a Stop says of the page when a wait runs out.
PAGE_STATE = ("window.Delve ? Delve.state + ': ' + document.getElementById('failed-text').textContent "
              ": 'no Delve'")


class Run(argparse.Namespace):
    """The options of the run and what it set up: url (the page's
    index.html), web (its folder), replay (delve-replay), game (the staged
    game folder delve-replay plays), work (a folder for this run's files),
    seed, keys, turns, the screenshots asked for, and report."""

    def with_game(self, game):
        """The same run with delve-replay playing another game folder."""
        return Run(**dict(vars(self), game=game))


def wait_for(driver, condition, what, timeout=20.0):
    browser.wait_for(driver, condition, what, timeout, PAGE_STATE)


def settle(driver, presents_before=None):
    """Waits until the program waits for a key with nothing left to take,
    and no picture came for a moment (the title screen polls)."""
    wait_for(driver, "window.Delve && Delve.state === 'running' && Delve.waiting", "the program waiting")
    if presents_before is not None:
        wait_for(driver, "Delve.presents > %d" % presents_before, "a new picture")
    # Quiet means no new picture over a moment: there is no event for "no
    # more pictures", so this polls until two looks agree.
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


def press_all(driver, keys):
    for key in keys:
        press(driver, key)
    settle(driver)


def open_page(driver, url, what):
    """Loads the page and waits until it has drawn its first picture and waits for a key."""
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.presents > 0", "the first picture (%s)" % what)
    settle(driver)


def compare_with_replay(run, driver, keys, seed, name):
    return browser.compare_with_replay(run.report, driver, run.replay, run.game, run.work, keys, seed, name)


def check_console(run, driver, phase):
    browser.check_console(run.report, driver, phase)


def new_game_if_offered(driver):
    """Past the page's offer to continue a kept game, when it makes one."""
    wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page started")
    if js(driver, "return Delve.state === 'choosing';"):
        from selenium.webdriver.common.by import By
        driver.find_element(By.ID, "choose-new").click()


def after_frames(driver, frames=2):
    """Waits until the page has drawn `frames` more animation frames: by then
    whatever a resize or a change of full screen made it lay out is done."""
    js(driver, "window.framesLeft = arguments[0]; (function next() {"
               " requestAnimationFrame(function () { if (--window.framesLeft > 0) next(); }); })();", frames)
    wait_for(driver, "window.framesLeft <= 0", "%d frames drawn" % frames, 5)


def resize(driver, width, height):
    """Sets the window's size and waits until the page is laid out for it."""
    driver.set_window_size(width, height)
    wait_for(driver, "outerWidth === %d && outerHeight === %d" % (width, height),
             "the window at %dx%d" % (width, height), 5)
    after_frames(driver)


def save_page(run, driver, path):
    """The whole page, its window just large enough for the frame at one
    screen pixel per game pixel."""
    inner = js(driver, "return [outerWidth - innerWidth, outerHeight - innerHeight, "
                       "document.getElementById('bar').offsetHeight];")
    resize(driver, 984 + inner[0], 736 + inner[1] + inner[2])
    driver.save_screenshot(path)
    run.report.ok("saved the page as %s" % path)
    resize(driver, 1200, 1000)


# The page's own Share… code (share.js) on a recording's bytes (base64).
MAKE_LINK = """
    var done = arguments[arguments.length - 1], text = atob(arguments[0]), turn = arguments[1];
    var bytes = new Uint8Array(text.length);
    for (var i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    import('./share.js').then(function (share) {
      return share.makeLink(location.href.split('#')[0], bytes, turn);
    }).then(function (made) { done(made.link || ('no link: ' + made.problem)); },
            function (error) { done('no link: ' + error); });"""


def page_link(driver, recording, turn):
    """The link the page on `driver` makes of `recording` (bytes) at `turn`,
    or "no link: " and why."""
    return driver.execute_async_script(MAKE_LINK, base64.b64encode(recording).decode("ascii"), turn)
