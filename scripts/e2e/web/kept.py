"""Kept games, in a browser of their own: a game is kept as it is played;
reloaded, the page offers it and Continue plays on exactly; so after the
browser restarts on the same profile, and after Escape; a second page is
refused it; Download gives a recording delve-replay checks; recordings
are watched to their pictures; a spoilt game is refused untouched; Delete."""

import os
import random
import re
import subprocess
import tempfile

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from e2e.browser import canvas_png, console_errors, differing_pixels, js, start_browser
from e2e.report import Stop, wait_until
from e2e.web.common import check_console, compare_with_replay, open_page, press_all, wait_for
from e2e.web.kept_more import check_kept_upgrade, window_recording
from e2e.web.kept_store import continue_kept, kept_games, wait_for_kept


def check_continues(run, driver, profile):
    """Played, reloaded, restarted, refused in a second tab, ended with
    Escape: each time Continue plays on to delve-replay's picture of all
    the keys. Returns the driver (a new one after the restart) and the keys."""
    url = run.url
    first, second, third = run.keys, "2486 ", "6w82"
    open_page(driver, url + "?seed=%d" % run.seed, "kept")
    press_all(driver, first)
    game = wait_for_kept(driver, 0, "the first keys")
    run.report.check(game["seed"] == str(run.seed) and game["turn"] > 0,
                     "the game is kept as it is played: seed %s, level %s, turn %s, %d bytes"
                     % (game["seed"], game["level"], game["turn"], game["length"]),
                     "the kept game is %r" % game)
    generator = random.Random(run.seed)
    moves = "".join(generator.choice("2468") for _ in range(60))
    press_all(driver, moves)
    first += moves
    length = wait_for_kept(driver, 0, "the moves")["length"]

    # Reloaded without a seed: Continue, more keys, the picture of all keys.
    label = continue_kept(run, driver, url, "after a reload")
    run.report.check("seed %d" % run.seed in label and "turn" in label and "level" in label,
                     "the Continue button names the seed, level and turn", "the Continue button says %r" % label)
    press_all(driver, second)
    compare_with_replay(run, driver, first + second, run.seed, "continued after a reload")
    length = wait_for_kept(driver, length, "the continued game's keys")["length"]

    # The browser closed and started again on the same profile.
    driver.quit()
    driver = start_browser(profile)
    continue_kept(run, driver, url, "after a browser restart")
    press_all(driver, third)
    compare_with_replay(run, driver, first + second + third, run.seed, "continued after a browser restart")
    wait_for_kept(driver, length, "the keys after the restart")
    games = kept_games(driver)
    run.report.check(len(games) == 1, "one game kept however often it was continued",
                     "%d games kept after continuing one" % len(games))

    # A second page of the same browser cannot play on the game this one plays.
    playing = driver.current_window_handle
    driver.switch_to.new_window("tab")
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice in a second page")
    driver.find_element(By.ID, "choose-continue").click()
    wait_for(driver, "/open in another page/.test(document.getElementById('note').textContent)",
             "the second page refusing the game", 10)
    run.report.check(js(driver, "return Delve.state === 'choosing' && !document.getElementById('choose').hidden;"),
                     "a game open in one page is refused in another: \"%s\", New game still offered"
                     % driver.find_element(By.ID, "note").text,
                     "a second page continuing the open game: state %s" % js(driver, "return Delve.state;"))
    driver.close()
    driver.switch_to.window(playing)

    # Quit with Escape: the game comes back as it was just before it.
    ActionChains(driver).send_keys(Keys.ESCAPE).perform()
    wait_for(driver, "Delve.state === 'ended'", "the end of the kept game", 10)
    continue_kept(run, driver, url, "after Escape")
    fourth = "8"
    press_all(driver, fourth)
    compare_with_replay(run, driver, first + second + third + fourth, run.seed, "continued after Escape")
    return driver


def open_games_list(driver):
    driver.find_element(By.ID, "games-open").click()
    wait_for(driver, "document.querySelectorAll('#games-list li').length > 0", "the list of kept games")


def check_download(run, driver, page_png):
    """Download: delve-replay checks the file and ends on the page's picture."""
    downloads = os.path.join(run.work, "downloads")
    os.makedirs(downloads)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    open_games_list(driver)
    row = driver.find_element(By.CSS_SELECTOR, "#games-list li").text
    driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Download']").click()

    def recordings():
        return [n for n in os.listdir(downloads) if n.endswith(".rec")]
    try:
        names = wait_until(recordings, "the download", 10, 0.1)
    except Stop:
        raise Stop("Download gave no .rec file (%s)" % os.listdir(downloads))
    downloaded = os.path.join(downloads, names[0])
    replayed_png = os.path.join(run.work, "kept-downloaded.png")
    result = subprocess.run([run.replay, "--dir", run.game, "--recording", downloaded,
                             "--screenshot", replayed_png], capture_output=True, text=True)
    differing = differing_pixels(page_png, replayed_png, os.path.join(run.work, "kept-downloaded-diff.png"))
    run.report.check(result.returncode == 0 and differing == "0" and
                     re.match(r"\d{4}-\d\d-\d\d_\d{6}_seed-%d\.rec$" % run.seed, names[0]),
                     "Download gives %s (listed as \"%s\"): delve-replay --recording exits 0 on the page's picture"
                     % (names[0], " ".join(row.split()[:8])),
                     "the downloaded %s: delve-replay exits %d (%s), %s pixels differ"
                     % (names[0], result.returncode, result.stderr.strip(), differing))


def check_watching(run, driver, page_png):
    """A window's recording opened in the page and the kept game watched from
    the list each end on their pictures; a file that is not a recording is
    refused in one line."""
    recording = window_recording(run, "x6688w2")
    check_kept_upgrade(run, recording, "x6688w2")
    expected_png = os.path.join(run.work, "window-replay.png")
    subprocess.run([run.replay, "--dir", run.game, "--recording", recording, "--screenshot", expected_png],
                   check=True, capture_output=True)
    driver.find_element(By.ID, "games-file").send_keys(recording)
    wait_for(driver, "Delve.state === 'running' && /Playback/.test(document.title)", "the window's recording watched")
    wait_for(driver, "/finished/.test(document.title)", "the window's recording played to its end", 30)
    watched_png = os.path.join(run.work, "window-watched.png")
    canvas_png(driver, watched_png)
    differing = differing_pixels(watched_png, expected_png, os.path.join(run.work, "window-watched-diff.png"))
    run.report.check(differing == "0", "a window's recording watched in the page ends on its picture (\"%s\")"
                     % driver.title, "a window's recording watched in the page differs in %s pixels" % differing)

    # A file that is not a recording is refused, in one line. It is opened
    # once the game has ended, so it is carried over a reload: at 6 MB,
    # more than sessionStorage holds.
    garbled = os.path.join(run.work, "garbled.rec")
    with open(garbled, "wb") as out:
        out.write(b"delve-recording 1\nprogram 0.2.0\nnot a line of a recording\n")
        out.write((b"x" * 99 + b"\n") * (6 * 1024 * 1024 // 100))
    driver.find_element(By.ID, "games-open").click()
    driver.find_element(By.ID, "games-file").send_keys(garbled)
    wait_for(driver, "Delve.state === 'ended' && "
                     "/cannot be watched/.test(document.getElementById('note').textContent)", "the garbled recording refused")
    run.report.ok("a file that is not a recording, of 6 MB, is carried over the reload and refused: \"%s\""
                  % driver.find_element(By.ID, "note").text)
    console_errors(driver)  # said on stderr too

    # The kept game watched from the list, fast: it ends on the page's picture.
    open_games_list(driver)
    driver.find_element(By.CSS_SELECTOR, "#games-list li button[aria-label^='Watch']").click()
    wait_for(driver, "Delve.state === 'running' && /Playback/.test(document.title)", "the kept game watched")
    ActionChains(driver).send_keys("+++++").perform()
    wait_for(driver, "/finished/.test(document.title)", "the kept game played to its end", 30)
    watched_png = os.path.join(run.work, "kept-watched.png")
    canvas_png(driver, watched_png)
    differing = differing_pixels(watched_png, page_png, os.path.join(run.work, "kept-watched-diff.png"))
    run.report.check(differing == "0",
                     "Watch plays the kept game to the picture it was left at (\"%s\")" % driver.title,
                     "the kept game watched ends %s pixels away from where it was left" % differing)


# Spoils the first checkpoint of every kept recording; how many it spoilt.
SPOIL_CHECKPOINT = """
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
    };"""


def check_spoilt_and_delete(run, driver):
    """A kept game that no longer matches (its first checkpoint spoilt) is
    refused as the window refuses it, and left as it was; Delete removes it."""
    spoilt = driver.execute_async_script(SPOIL_CHECKPOINT)
    before = kept_games(driver)
    continue_kept(run, driver, run.url, "with a spoilt checkpoint")
    wait_for(driver, "/Cannot continue/.test(document.title)", "the refusal of a spoilt game", 20)
    title = driver.title
    ActionChains(driver).send_keys(Keys.ESCAPE).perform()
    wait_for(driver, "Delve.state === 'ended'", "the end after a refused game", 10)
    console_errors(driver)  # the refusal is said on stderr too, as in the window
    note_text = driver.find_element(By.ID, "note").text
    run.report.check(spoilt == 1 and "does not match" in note_text and kept_games(driver) == before,
                     "a kept game that no longer matches is refused (\"%s\"; \"%s\") and left as it was"
                     % (title, note_text),
                     "a spoilt kept game (%d checkpoint spoilt): title %r, note %r" % (spoilt, title, note_text))

    open_games_list(driver)
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
    run.report.check(kept_games(driver) == [] and left == [0, 0],
                     "Delete removes the game from the browser, its recording and its picture with it",
                     "after Delete the browser keeps %s, and %s pieces and pictures" % (kept_games(driver), left))


def check_kept(run):
    profile = tempfile.mkdtemp(prefix="chromium-kept-", dir=run.work)
    driver = start_browser(profile)
    try:
        driver = check_continues(run, driver, profile)
        page_png = os.path.join(run.work, "kept-page.png")
        canvas_png(driver, page_png)
        check_download(run, driver, page_png)
        check_watching(run, driver, page_png)
        check_console(run, driver, "with kept games")
        check_spoilt_and_delete(run, driver)
    finally:
        driver.quit()
