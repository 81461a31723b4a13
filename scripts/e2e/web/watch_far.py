"""A link to the last turn of a long game, opened in a fresh browser: the
turn shows at once, long before the watcher has noted that far (the bar
never says "getting there…"), the canvas is delve-replay's picture of that
turn, pixel for pixel, and the bar's buttons answer. Then a link to its
first turn, which plays: a far turn sought on the range at once, while the
game plays and little is noted, comes and playing goes on from it; paused,
the canvas is delve-replay's picture of the turn it paused at."""

import os
import shutil
import subprocess
import tempfile

from selenium.common.exceptions import TimeoutException

from e2e.browser import js, start_browser
from e2e.web.common import page_link, wait_for
from e2e.web.watch import bar, differs_from_replay, pause

# Long enough that noting up to its end takes the page most of a second.
TURNS = 5000
GETTING_THERE = "getting there\u2026"
WHERE = "return document.getElementById('watch-where').textContent;"
# The first picture of the link's turn, and what the bar said on the way
# (every change of its words, looked at in the page), then the Faster
# button clicked and the title once it says the new speed.
FASTER = """
    var done = arguments[arguments.length - 1];
    var range = document.getElementById('watch-turn'), where = document.getElementById('watch-where');
    var said = [];
    (function there() {
      if (said[said.length - 1] !== where.textContent) said.push(where.textContent);
      if (range.disabled || Number(range.value) !== Number(range.max) || /getting there/.test(where.textContent)) {
        setTimeout(there, 5);
        return;
      }
      var seen = { value: Number(range.value), max: Number(range.max), where: where.textContent, said: said };
      document.querySelector('#watch button[data-key="+"]').click();
      (function look() {
        if (/\u00d72/.test(document.title)) done([seen, document.title]); else setTimeout(look, 5);
      })();
    })();"""
# A turn sought on the range as a viewer seeks it (its input event), and
# what the bar says once it shows that turn or one after it.
SEEK = """
    var done = arguments[arguments.length - 1], turn = arguments[0];
    var r = document.getElementById('watch-turn'), where = document.getElementById('watch-where');
    var said = [];
    r.value = String(turn);
    r.dispatchEvent(new Event('input', { bubbles: true }));
    (function look() {
      if (said[said.length - 1] !== where.textContent) said.push(where.textContent);
      if (Number(r.value) >= turn && !/getting there/.test(where.textContent)) done(said);
      else setTimeout(look, 5);
    })();"""


# A far turn on its way: the bar as it says so, then the Faster button
# clicked and the title once it says the new speed, all in one script so
# that no round trip of the driver's comes between the bar's words and the
# click while the page notes on.
ON_ITS_WAY = """
    var done = arguments[arguments.length - 1];
    var range = document.getElementById('watch-turn'), where = document.getElementById('watch-where');
    (function onItsWay() {
      if (range.disabled || !/getting there/.test(where.textContent)) { setTimeout(onItsWay, 5); return; }
      var seen = { value: Number(range.value), max: Number(range.max), where: where.textContent };
      document.querySelector('#watch button[data-key="+"]').click();
      (function look() {
        if (/\\u00d72/.test(document.title)) done([seen, document.title]); else setTimeout(look, 5);
      })();
    })();"""


def long_game(run):
    """A long game drawn throughout (bench/delve-long-game): its recording's
    path, or None when the tool is not built."""
    tool = os.path.join(os.path.dirname(run.replay), "bench", "delve-long-game")
    if not os.access(tool, os.X_OK):
        return None
    folder = tempfile.mkdtemp(prefix="long-game-", dir=run.work)
    for part in ("res", "tiles"):
        shutil.copytree(os.path.join(run.game, part), os.path.join(folder, part))
    made = subprocess.run([tool, "--drawn", folder, str(TURNS), "4242", os.path.join(folder, "end.png")],
                          capture_output=True, text=True, timeout=600, check=True)
    return made.stdout.strip().splitlines()[-1]


def check_far_link(run):
    recording = long_game(run)
    if recording is None:
        run.report.skip("a far link on its way: no bench/delve-long-game in the build (-DDELVE_BENCH=ON)")
        return
    with open(recording, "rb") as f:
        recorded = f.read()
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-far-", dir=run.work))
    try:
        driver.set_script_timeout(60)
        driver.get(run.url)
        wait_for(driver, "window.Delve && Delve.state !== 'loading'", "the page (a far link)", 30)
        # Beyond the last turn: the watcher takes it as the last.
        link = page_link(driver, recorded, TURNS * 2)
        if not link.startswith("http"):
            run.report.fail("the page made no link to a long game: %s" % link)
            return
        driver.quit()
        driver = start_browser(tempfile.mkdtemp(prefix="chromium-far-link-", dir=run.work))
        driver.get(link)
        driver.set_script_timeout(30)
        # The turn at once, and the page answering: Faster, clicked, is in
        # the title.
        seen, faster = driver.execute_async_script(FASTER)
        driver.set_script_timeout(60)
        last, where = seen["max"], seen["where"]
        waited = [w for w in seen["said"] if GETTING_THERE in w]
        run.report.check(not waited and "of %s" % format(last, ",") in where and "\u00d72" in faster,
                         "a link to the last turn of a %d-turn game: the turn shows at once (\"%s\"), never "
                         "\"%s\", and the Faster button is answered (\"%s\")" % (last, where, GETTING_THERE, faster),
                         "a link to the last turn of a %d-turn game: the bar said %r on the way, then the title %r "
                         "after Faster" % (last, seen["said"], faster))
        shown, where = bar(driver)["value"], js(driver, WHERE)
        difference = differs_from_replay(run, driver, recording, last, "far-link")
        run.report.check(shown == last and difference == "0" and "speed \u00d72" in where,
                         "then turn %d shows, delve-replay's picture of it pixel for pixel, the bar saying \"%s\""
                         % (last, where),
                         "then turn %s showed, differing from delve-replay's turn %d in %s pixels (see %s), "
                         "the bar saying %r" % (shown, last, difference, run.work, where))
        check_seek_while_playing(run, driver, recorded, recording)
        check_far_link_of_another_program(run, driver, recorded)
    finally:
        driver.quit()


def check_far_link_of_another_program(run, driver, recorded):
    """A recording made by another program is not told by spans: its far
    turn is on its way, noted a slice at a time, and the page answers."""
    header = b"\nprogram "
    at = recorded.find(header)
    if at < 0:
        run.report.fail("the long game's recording names no program")
        return
    end = recorded.find(b"\n", at + len(header))
    other = recorded[:end] + b"-other" + recorded[end:]
    path = os.path.join(run.work, "long-game-other-program.rec")
    with open(path, "wb") as f:
        f.write(other)
    link = page_link(driver, other, TURNS * 2)
    if not link.startswith("http"):
        run.report.fail("the page made no link to a long game of another program: %s" % link)
        return
    driver.get("about:blank")
    driver.get(link)
    driver.set_script_timeout(30)
    try:
        seen, faster = driver.execute_async_script(ON_ITS_WAY)
    except TimeoutException:
        run.report.fail("a far link of another program's game: the bar never said it was on its way (%r)"
                        % js(driver, WHERE))
        return
    finally:
        driver.set_script_timeout(60)
    last, where = seen["max"], seen["where"]
    wait_for(driver, "!/getting there/.test(document.getElementById('watch-where').textContent)",
             "the far turn of another program's game shown", 60)
    shown = bar(driver)["value"]
    difference = differs_from_replay(run, driver, path, last, "far-link-other")
    run.report.check(seen["value"] == last and GETTING_THERE in where and GETTING_THERE in faster and
                     shown == last and difference == "0",
                     "a link to the last turn of another program's %d-turn game: the bar says \"%s\", Faster "
                     "is answered meanwhile (\"%s\"), then the turn is delve-replay's picture pixel for pixel"
                     % (last, where, faster),
                     "a far link of another program's game: the bar said %r, the title %r after Faster; turn %s "
                     "showed, differing from delve-replay's turn %d in %s pixels (see %s)"
                     % (where, faster, shown, last, difference, run.work))


def check_seek_while_playing(run, driver, recorded, recording):
    link = page_link(driver, recorded, 1)
    if not link.startswith("http"):
        run.report.fail("the page made no link to the first turn of a long game: %s" % link)
        return
    # A page of its own, noting from nothing: the same address again would
    # only move the watcher already open.
    driver.get("about:blank")
    driver.get(link)
    wait_for(driver, "(function (r, p) { return !r.disabled && Number(r.max) > 1 && /^Pause/.test(p); })"
                     "(document.getElementById('watch-turn'),"
                     " document.getElementById('watch-pause').getAttribute('aria-label'))",
             "the long game playing from its first turn", 30)
    far = TURNS - 100
    driver.set_script_timeout(10)
    try:
        said = driver.execute_async_script(SEEK, far)
    except TimeoutException:
        run.report.fail("turn %d sought while the game plays: it never came (%r)" % (far, js(driver, WHERE)))
        return
    finally:
        driver.set_script_timeout(60)
    waited = [w for w in said if GETTING_THERE in w]
    # Playing goes on from the turn.
    wait_for(driver, "Number(document.getElementById('watch-turn').value) > %d" % far,
             "playing on from turn %d" % far, 30)
    pause(driver, "the watcher paused after the far seek")
    seen, where = bar(driver), js(driver, WHERE)
    difference = differs_from_replay(run, driver, recording, seen["value"], "far-seek-playing")
    run.report.check(seen["value"] > far and difference == "0" and not waited,
                     "turn %d sought at once on a link to the first turn, while it plays: it shows at once, "
                     "playing goes on, and paused at turn %d the canvas is delve-replay's picture of it (\"%s\")"
                     % (far, seen["value"], where),
                     "turn %d sought while playing: the bar said %r, paused at turn %s (%r), differing from "
                     "delve-replay's picture in %s pixels (see %s)"
                     % (far, said, seen["value"], where, difference, run.work))
