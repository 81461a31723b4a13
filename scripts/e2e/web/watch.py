"""Watching like a video, in browsers of their own: a kept game watched shows
the watch bar, its range the game's turns; the bar's buttons and the range
move the turn shown; Share… makes a link that a fresh browser opens at that
turn; a garbled link is said in one note and changes nothing kept. The
turns the bar lands on, and a game played on from one, are pictured as
delve-replay pictures the same recording, pixel for pixel."""

import os
import re
import subprocess
import tempfile
import urllib.parse

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from e2e.browser import canvas_png, console_errors, differing_pixels, js, start_browser
from e2e.report import Stop, wait_until
from e2e.web.app import wait_for_version
from e2e.web.common import new_game_if_offered, press_all, resize, settle, wait_for
from e2e.web.kept_store import kept_games, kept_recording, wait_for_kept

LONGEST_LINK = 32768
VALUE_TEXT = r"turn [0-9,]+ of [0-9,]+(, level [0-9,]+)?"
# The watch bar as the page shows it: whether it is shown, its range, and
# what it says the turn is.
BAR = """var bar = document.getElementById('watch'), range = document.getElementById('watch-turn');
return { shown: !bar.hidden && bar.getBoundingClientRect().height > 0, disabled: range.disabled,
         value: Number(range.value), max: Number(range.max), text: range.getAttribute('aria-valuetext') || '',
         pause: document.getElementById('watch-pause').getAttribute('aria-label'),
         marks: document.querySelectorAll('#watch-marks span').length };"""


def bar(driver):
    return js(driver, BAR)


def button(driver, key):
    return driver.find_element(By.CSS_SELECTOR, '#watch button[data-key="%s"]' % key)


def pause(driver, what):
    """The watcher paused by its button (when it plays), until the button offers Play."""
    if "Pause" in bar(driver)["pause"]:
        driver.find_element(By.ID, "watch-pause").click()
    wait_for(driver, "/^Play/.test(document.getElementById('watch-pause').getAttribute('aria-label'))", what, 10)


def watch_kept_game(driver, url):
    """From the choice on a fresh load: Your games, Watch on the newest row."""
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice (watching)")
    driver.find_element(By.ID, "choose-games").click()
    wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the games list (watching)")
    driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Watch']").click()
    wait_for(driver, "Delve.state === 'running' && /Playback/.test(document.title)", "the kept game watched")


def check_bar_shown(run, driver, what):
    wait_for(driver, "!document.getElementById('watch').hidden", "the watch bar (%s)" % what, 10)
    seen = bar(driver)
    labelled = js(driver, "return Array.prototype.every.call(document.querySelectorAll('#watch button'),"
                          " function (b) { return b.getAttribute('aria-label') && b.offsetWidth > 0; });")
    run.report.check(seen["shown"] and labelled and len(driver.find_elements(By.CSS_SELECTOR, "#watch button")) == 12,
                     "%s: the watch bar is shown, its 12 buttons labelled" % what,
                     "%s: the watch bar is %r" % (what, seen))


def wait_for_turn(driver, turn, what, timeout=20):
    """Until the program reports showing `turn` (the range follows it)."""
    wait_for(driver, "(function (r) { return !r.disabled && Number(r.value) === %d; })"
                     "(document.getElementById('watch-turn'))" % turn, what, timeout)


def differs_from_replay(run, driver, recording, turn, name):
    """How many pixels the canvas, once quiet, differs from delve-replay's
    picture of `recording` at `turn` (at its end for None), as compare says
    it: "0" for none. The pictures and their difference stay in run.work."""
    settle(driver)
    page, expected, difference = (os.path.join(run.work, "%s-%s.png" % (name, kind))
                                  for kind in ("page", "replay", "difference"))
    canvas_png(driver, page)
    command = [run.replay, "--dir", run.game, "--recording", recording, "--screenshot", expected]
    subprocess.run(command + (["--turn", str(turn)] if turn else []), check=True, stdout=subprocess.DEVNULL)
    return differing_pixels(page, expected, difference)


def check_pictures(run, differences, what):
    """One check over many landings: {landing: differing pixels}."""
    wrong = ["%s in %s pixels" % (landing, n) for landing, n in differences.items() if n != "0"]
    run.report.check(not wrong, "%s: the canvas equals delve-replay's picture pixel for pixel at %s"
                     % (what, ", ".join(differences)),
                     "%s: the canvas differs from delve-replay's picture at %s (see %s)"
                     % (what, "; ".join(wrong), run.work))


def check_timeline(run, driver, last_turn, recording):
    """What the merged watcher reports: the range's max is the game's last
    turn; the buttons and the range move the turn shown; the range says it;
    the turns landed on are drawn as delve-replay --turn draws them."""
    wait_for(driver, "!document.getElementById('watch-turn').disabled", "the program's timeline", 20)
    seen = bar(driver)
    run.report.check(seen["max"] == last_turn and re.fullmatch(VALUE_TEXT, seen["text"]),
                     "the range runs from turn 1 to %d, the game's last, and says \"%s\"" % (last_turn, seen["text"]),
                     "the range is %r for a game of %d turns" % (seen, last_turn))
    # Paused by its button, which then offers Play.
    pause(driver, "the watcher paused by its button")
    moves = []
    # Pictured: a step back, the end, and the start after the end (a seek
    # backwards the length of the game).
    pictured = {}
    for key, expected, picture in (("Home", 1, False), ("ArrowRight", 2, False), ("ArrowRight", 3, False),
                                   ("ArrowLeft", 2, True), ("End", last_turn, True), ("Home", 1, True)):
        button(driver, key).click()
        wait_for_turn(driver, expected, "turn %d after the %s button" % (expected, key))
        moves.append("%s %d" % (key, expected))
        if picture:
            name = "watch-%s-%d" % (key, expected)
            pictured["%s (turn %d)" % (key, expected)] = differs_from_replay(run, driver, recording, expected, name)
    run.report.ok("paused, the bar's buttons show the turns their keys do: %s" % ", ".join(moves))
    button(driver, "PageDown").click()
    wait_for(driver, "Number(document.getElementById('watch-turn').value) > 1", "the next level's start", 10)
    level_start = bar(driver)["value"]
    pictured["PageDown (turn %d)" % level_start] = differs_from_replay(run, driver, recording, level_start,
                                                                      "watch-PageDown-%d" % level_start)
    button(driver, "PageUp").click()
    wait_for(driver, "Number(document.getElementById('watch-turn').value) < %d" % level_start,
             "the previous level's start", 10)
    run.report.ok("Page Down and Page Up: to the next level's start (or the end, turn %d) and back to turn %d"
                  % (level_start, bar(driver)["value"]))

    # The range by mouse: a click at its middle, the program follows.
    range_ = driver.find_element(By.ID, "watch-turn")
    width = range_.size["width"]
    ActionChains(driver).move_to_element(range_).click().perform()
    wait_for(driver, "(function (r) { var v = Number(r.value); return v > %d && v < %d; })"
                     "(document.getElementById('watch-turn'))" % (last_turn // 4, last_turn * 3 // 4),
             "the turn clicked on the range", 10)
    middle = bar(driver)["value"]
    wait_for_turn(driver, middle, "the program showing the turn clicked")
    pictured["the range clicked (turn %d)" % middle] = differs_from_replay(run, driver, recording, middle,
                                                                          "watch-range-%d" % middle)
    # And by keyboard: the range's own keys.
    range_.send_keys(Keys.ARROW_LEFT)
    wait_for_turn(driver, middle - 1, "the program showing one turn less")
    text = bar(driver)["text"]
    run.report.check(re.fullmatch(VALUE_TEXT, text) and ("turn %s of" % format(middle - 1, ",")) in text,
                     "the range moved by mouse (turn %d of %d px) and by keyboard: \"%s\"" % (middle, width, text),
                     "after the range moved to turn %d it says %r" % (middle - 1, text))
    check_pictures(run, pictured, "paused")
    if run.watch_screenshot:
        save_watching(run, driver)
    return middle - 1


def save_watching(run, driver):
    """The page watching a game, paused mid-game with the bar under the
    picture: the window just large enough for the frame at one screen pixel
    per game pixel and both bars."""
    inner = js(driver, "return [outerWidth - innerWidth, outerHeight - innerHeight, "
                       "document.getElementById('bar').offsetHeight + document.getElementById('watch').offsetHeight];")
    resize(driver, 984 + inner[0], 736 + inner[1] + inner[2])
    driver.save_screenshot(run.watch_screenshot)
    run.report.ok("saved the page watching a game as %s" % run.watch_screenshot)
    resize(driver, 1200, 1000)


def share_link(run, driver, turn):
    """Share…: the dialog's link, checked for its address, length and turn."""
    driver.find_element(By.ID, "watch-share").click()
    wait_for(driver, "document.getElementById('share-dialog').open && "
                     "!document.getElementById('share-link-line').hidden", "the link made", 20)
    link = driver.find_element(By.ID, "share-link").get_attribute("value")
    fragment = urllib.parse.parse_qs(urllib.parse.urlsplit(link).fragment)
    run.report.check(link.startswith(run.url + "#watch=") and len(link) <= LONGEST_LINK and
                     fragment.get("turn") == [str(turn)] and driver.find_element(By.ID, "share-copy").is_displayed(),
                     "Share… makes a link of %d characters at turn %d, with Copy" % (len(link), turn),
                     "Share… made %r (%d characters), turn %s" % (link[:120], len(link), fragment.get("turn")))
    driver.find_element(By.ID, "share-close").click()
    return link


def check_link_opened(run, work, link, turn, merged):
    """The link in a browser that never saw the page: the game watched at
    its turn, the link gone from the address, nothing kept."""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-link-", dir=work))
    try:
        driver.get(link)
        wait_for(driver, "window.Delve && Delve.state === 'running'", "the shared game watched", 30)
        check_bar_shown(run, driver, "a shared link in a fresh browser")
        if merged:
            wait_for_turn(driver, turn, "the shared game at turn %d" % turn, 30)
            run.report.ok("the shared link opens the game at turn %d" % turn)
        run.report.check(js(driver, "return location.hash;") == "" and kept_games(driver) == [],
                         "the link leaves the address once opened; watching it keeps nothing",
                         "after the link: address %r, kept %r" % (driver.current_url, kept_games(driver)))
        check_console_clean(run, driver, "opening a shared link")
        # Offline after that one visit: the page, kept whole, opens the link again.
        with open(os.path.join(run.web, "sw.js")) as f:
            version = re.search(r"var VERSION = '([0-9a-f]+)';", f.read()).group(1)
        wait_for_version(driver, version, "the page kept after the link's visit", 30)
        driver.execute_cdp_cmd("Network.enable", {})
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        driver.get("about:blank")
        driver.get(link)
        wait_for(driver, "window.Delve && Delve.state === 'running' && !document.getElementById('watch').hidden",
                 "the shared game watched offline", 30)
        if merged:
            wait_for_turn(driver, turn, "the shared game offline at turn %d" % turn, 30)
        run.report.ok("offline after one visit, the link opens the game again%s" % (" at turn %d" % turn if merged else ""))
    finally:
        driver.quit()


def check_link_pasted(run, driver, link, turn, merged):
    """A link pasted into the address of the page already open (only its
    fragment changes, so the browser does not load it): the page loads again
    to watch it, and keeps nothing more."""
    before = kept_games(driver)
    js(driver, "window.notReloaded = true; location.hash = arguments[0];", urllib.parse.urlsplit(link).fragment)
    wait_for(driver, "!window.notReloaded && window.Delve && Delve.state === 'running' && "
                     "!document.getElementById('watch').hidden && location.hash === ''", "the pasted link watched", 30)
    if merged:
        wait_for_turn(driver, turn, "the pasted link at turn %d" % turn, 30)
    run.report.check(kept_games(driver) == before, "a link pasted into the open page's address is watched",
                     "a link pasted into the open page: kept games %r, were %r" % (kept_games(driver), before))


def check_play_on(run, driver, turn):
    """Play on from here: the bar goes, the game plays on from the turn shown
    and is kept as a new game; the watched one stays as it was."""
    wait_for_turn(driver, turn, "the pasted link's turn before playing on", 30)
    before = kept_games(driver)
    button(driver, "p").click()
    wait_for(driver, "document.getElementById('watch').hidden && Delve.state === 'running'", "playing on", 20)
    settle(driver)
    keys = "6622"
    press_all(driver, keys)
    after = wait_until(lambda: (lambda games: games if len(games) == len(before) + 1 else None)(kept_games(driver)),
                       "the game played on kept", 10, 0.2)
    kept_before = {g["id"]: g["length"] for g in before}
    run.report.check(all(kept_before.get(g["id"], g["length"]) == g["length"] for g in after),
                     "Play on from here at turn %d: the bar goes and a new game is kept, the others untouched" % turn,
                     "after Play on: kept %r, were %r" % (after, before))
    # The game played on is its recording: delve-replay, playing every key
    # of it, ends on the picture the page shows.
    new_id = [g["id"] for g in after if g["id"] not in kept_before][0]
    recording = os.path.join(run.work, "played-on.rec")
    with open(recording, "wb") as out:
        out.write(kept_whole(driver, new_id))
    differing = differs_from_replay(run, driver, recording, None, "played-on")
    run.report.check(differing == "0",
                     "played on from turn %d with %r: the canvas equals delve-replay's picture of the kept "
                     "recording's end pixel for pixel" % (turn, keys),
                     "played on from turn %d with %r: the canvas differs from delve-replay's picture of the kept "
                     "recording in %s pixels (see %s)" % (turn, keys, differing, run.work))


def kept_whole(driver, game_id):
    """A kept game's recording once the page has stored all it was handed:
    the program hands over its new bytes before it waits for a key (the
    caller waited for that), the page stores them a moment later; whole once
    the list's length is the bytes stored and two looks agree."""
    seen = [None]

    def whole():
        text = kept_recording(driver, game_id)[0]
        listed = [g["length"] for g in kept_games(driver) if g["id"] == game_id]
        settled = text and listed == [len(text)] and text == seen[0]
        seen[0] = text
        return text if settled else None
    try:
        return wait_until(whole, "the game played on kept whole", 10, 0.3)
    except Stop:
        raise Stop("the game played on: %d bytes stored, listed as %s"
                   % (len(seen[0] or b""), [g["length"] for g in kept_games(driver) if g["id"] == game_id]))


def check_console_clean(run, driver, phase):
    errors = [e for e in console_errors(driver) if "cannot be watched" not in e]
    run.report.check(not errors, "no console errors %s" % phase, "console errors %s: %s" % (phase, "; ".join(errors)))


def check_garbled_links(run, driver):
    """Links that hold no game: one note each, the kept games as they were,
    the choice offered, the link gone from the address."""
    before = kept_games(driver)
    for what, fragment in (("not base64", "watch=%%%21!&turn=3"), ("not deflate", "watch=AAAAAAAAAAAA&turn=2"),
                           ("too long", "watch=" + "A" * (LONGEST_LINK + 10) + "&turn=1")):
        driver.get("about:blank")
        driver.get(run.url + "#" + fragment)
        wait_for(driver, "window.Delve && Delve.state === 'choosing' && "
                         "!document.getElementById('note').hidden", "the note on a garbled link (%s)" % what, 30)
        note = driver.find_element(By.ID, "note").text
        run.report.check("no game" in note and kept_games(driver) == before and js(driver, "return location.hash;") == ""
                         and js(driver, "return document.getElementById('watch').hidden;"),
                         "a garbled link (%s) is said in one note (\"%s\"); Your games is as it was" % (what, note),
                         "a garbled link (%s): note %r, kept %d games (were %d), address %r"
                         % (what, note, len(kept_games(driver)), len(before), driver.current_url))


# Every title the page is given, recorded from the page's first script on:
# the watcher's title says the turn it shows, and a look now and then could
# miss the turn it started at.
TITLES_SEEN = """window.titlesSeen = [];
var title = Object.getOwnPropertyDescriptor(Document.prototype, 'title');
Object.defineProperty(document, 'title', { configurable: true, get: function () { return title.get.call(this); },
  set: function (text) { window.titlesSeen.push(String(text)); title.set.call(this, text); } });"""
TITLE_TURN = re.compile(r"^Playback \u2014 turn ([0-9,]+) of")
# At x1 the watcher shows ten turns a second; past a second of lateness it
# may skip turns to keep its pace, never more than that.
MOST_TURNS_A_STEP = 10


def play_on_the_seed_page(run, driver, what):
    """The run's seed and keys played on a page opened with ?seed=N, until
    the page keeps the game; the game as kept."""
    driver.get(run.url + "?seed=%d" % run.seed)
    new_game_if_offered(driver)
    wait_for(driver, "Delve.state === 'running' && Delve.presents > 0", what)
    settle(driver)
    press_all(driver, run.keys + "6262626262848484")
    return wait_for_kept(driver, 0, what + ", kept")


def check_watch_from_seed_page(run):
    """A game played on a page opened with ?seed=N, then watched from Your
    games on that page: the page loads again at the same address to watch
    it, and the watcher starts at turn 1 and plays on a turn at a time; the
    address's seed is a new game's, never typed into the watcher."""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-seed-watch-", dir=run.work))
    try:
        game = play_on_the_seed_page(run, driver, "a game on the seed's page")
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": TITLES_SEEN})
        js(driver, "window.notReloaded = true;")
        # The bar's Your games, as the game runs.
        driver.find_element(By.ID, "games-open").click()
        wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the games list (seed page)")
        driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Watch']").click()
        wait_for(driver, "!window.notReloaded && window.Delve && Delve.state === 'running' && "
                         "/Playback/.test(document.title)", "the game watched after the reload", 30)
        last = game["turn"] + 1
        # A few turns on from the start, or the end: enough to see where it began.
        wait_for(driver, "window.titlesSeen.filter(function (t) { return /^Playback/.test(t); }).length >= 6 || "
                         "/finished/.test(document.title)", "the watcher playing a few turns", 30)
        titles = [t for t in js(driver, "return window.titlesSeen;") if t.startswith("Playback")]
        turns = [int(m.group(1).replace(",", "")) for m in map(TITLE_TURN.match, titles) if m]
        steps = [b - a for a, b in zip(turns, turns[1:])]
        run.report.check(js(driver, "return location.search;") == "?seed=%d" % run.seed and turns and turns[0] == 1
                         and all(0 <= s <= MOST_TURNS_A_STEP for s in steps)
                         and not any("go to turn" in t for t in titles),
                         "watched from Your games on a ?seed=%d page: the page loads again at the same address and "
                         "the watcher starts at turn 1 of %d, playing on a turn at a time (%s)"
                         % (run.seed, last, ", ".join(map(str, turns[:8]))),
                         "watched from Your games on a ?seed=%d page (a game of %d turns): the titles were %r"
                         % (run.seed, last, titles[:8]))
        check_console_clean(run, driver, "watching from a ?seed= page")
    finally:
        driver.quit()


def check_watch(run):
    profile = tempfile.mkdtemp(prefix="chromium-watch-", dir=run.work)
    driver = start_browser(profile)
    try:
        game = play_on_the_seed_page(run, driver, "a game to watch")
        watch_kept_game(driver, run.url)
        # The bytes watched: what the page keeps, read once the page that
        # wrote them is gone.
        recording = os.path.join(run.work, "watched.rec")
        with open(recording, "wb") as out:
            out.write(kept_recording(driver, game["id"])[0])
        check_bar_shown(run, driver, "a kept game watched")
        # What needs the watcher that reports its timeline to the page.
        merged = js(driver, "return new Promise(function (done) { setTimeout(function () {"
                            " done(!document.getElementById('watch-turn').disabled); }, 3000); });")
        turn = 1
        if merged:
            # The list gives the turn of the game's last key; the watcher's
            # last turn is the frame that key led to, as the game counts it.
            turn = check_timeline(run, driver, game["turn"] + 1, recording)
        else:
            run.report.fail("the program reports no timeline to the page (the watcher's report is not in this "
                            "build): the range, the buttons' turns and the link's turn are not checked")
        link = share_link(run, driver, turn)
        check_link_opened(run, run.work, link, turn, merged)
        check_link_pasted(run, driver, link, turn, merged)
        if merged:
            check_play_on(run, driver, turn)
        check_garbled_links(run, driver)
    finally:
        driver.quit()
