"""Kept games beyond one browser's play: a recording made in the real window,
storage kept by an older page, storage full or refused, a game begun beside
the list and a second tab, and a long game continued to its picture."""

import os
import shutil
import subprocess
import tempfile
import time

from selenium.webdriver.common.by import By

from e2e.browser import canvas_png, differing_pixels, js, start_browser
from e2e.report import Stop, wait_until
from e2e.web.common import compare_with_replay, open_page, press, press_all, settle, wait_for
from e2e.web.kept_store import continue_kept, kept_recording, newest_kept, play_fast_and_keep, wait_for_kept


def window_recording(run, keys):
    """A game played in the real window (Xvfb, xdotool) and quit with Escape:
    its recording."""
    data = os.path.join(run.work, "window-data")
    shutil.copytree(os.path.join(run.game, "res"), os.path.join(data, "res"))
    shutil.copytree(os.path.join(run.game, "tiles"), os.path.join(data, "tiles"))
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
        game = subprocess.Popen([os.path.join(run.game, "delve"), "--data", data, "--seed", str(run.seed)],
                                cwd=data, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(game.pid)],
                                    env=env, capture_output=True, text=True, timeout=20).stdout.split()[0]
            subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=False)
            names = {" ": "space", "\x1b": "Escape"}
            for key in keys + "\x1b":
                subprocess.run(["xdotool", "key", names.get(key, key)], env=env, check=True)
                # The window shows nothing this script could wait for when it
                # takes a key: a player's pace between keys, then.
                time.sleep(0.15)
            game.wait(timeout=20)
        finally:
            if game.poll() is None:
                game.kill()
                game.wait()
    finally:
        xvfb.kill()
        xvfb.wait()
    folder = os.path.join(data, "recordings")
    # Only the recordings: a cleanly ended game also keeps its picture there.
    made = sorted(n for n in os.listdir(folder) if n.endswith(".rec")) if os.path.isdir(folder) else []
    if not made:
        raise Stop("the window left no recording")
    return os.path.join(folder, made[-1])


# Writes a kept game as the page kept it before its storage had pictures
# (database version 1).
OLD_STORE = """
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
    request.onerror = function () { done(String(request.error)); };"""


def check_kept_upgrade(run, recording, keys):
    """A browser that kept a game with the page before its storage had
    pictures: the page takes the storage on, offers the game, and Continue
    plays it on exactly."""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-upgrade-", dir=run.work))
    try:
        # Any page of the same origin that runs nothing: the manifest.
        driver.get(run.url.rsplit("/", 1)[0] + "/manifest.webmanifest")
        with open(recording, "rb") as f:
            text = f.read().decode("latin-1")
        made = driver.execute_async_script(OLD_STORE, text, run.seed)
        if made is not True:
            raise Stop("could not make a version 1 store of kept games: %s" % made)
        continue_kept(run, driver, run.url, "kept by the page before pictures")
        compare_with_replay(run, driver, keys, run.seed, "continued from storage of version 1")
        version = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            indexedDB.databases().then(function (all) {
              done(all.filter(function (d) { return d.name === 'delve-games'; }).map(function (d) { return d.version; }));
            });""")
        run.report.check(version == [2], "the storage of kept games is taken on to version 2",
                         "the storage of kept games is at version %s" % version)
    finally:
        driver.quit()


def check_storage_full(run):
    """Storage full part of the way: the page says so, and what it kept is a
    sound recording."""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-full-", dir=run.work))
    try:
        driver.execute_cdp_cmd("Storage.overrideQuotaForOrigin",
                               {"origin": run.url.split("/index.html")[0], "quotaSize": 4096})
        open_page(driver, run.url + "?seed=%d" % run.seed, "storage full")
        press_all(driver, run.keys * 3)
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
        path = os.path.join(run.work, "full.rec")
        with open(path, "wb") as out:
            out.write(kept.encode("latin-1"))
        result = subprocess.run([run.replay, "--dir", run.game, "--recording", path], capture_output=True, text=True)
        run.report.check(not kept or result.returncode == 0,
                         "with storage full the page says \"%s\"; %s"
                         % (driver.find_element(By.ID, "note").text, "what it kept (%d bytes) replays" % len(kept)
                            if kept else "it kept nothing"),
                         "with storage full, the %d bytes kept give delve-replay exit %d: %s"
                         % (len(kept), result.returncode, result.stderr.strip()))
    finally:
        driver.quit()


def check_storage_refused(run):
    """Storage refused, as in a private window: the game plays, and the page says so once."""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-unkept-", dir=run.work))
    try:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source":
            "Object.defineProperty(window, 'indexedDB', { get: function () {"
            " throw new DOMException('The user denied permission to access the database.', 'SecurityError'); } });"})
        open_page(driver, run.url, "storage refused")
        keys = "x@%d\r%s" % (run.seed, run.keys)
        press_all(driver, keys)
        compare_with_replay(run, driver, keys, None, "storage refused")
        note = driver.find_element(By.ID, "note")
        run.report.check(note.is_displayed() and "cannot be kept" in note.text,
                         "with storage refused the game plays and the page says: \"%s\"" % note.text,
                         "with storage refused the note is %r" % note.text)
    finally:
        driver.quit()


def check_kept_from_title(run):
    """A game still on its title screen while "Your games" is opened in its
    own page and the page is opened in a second tab (each lists the kept
    games, and drops those that never got past the title): once played, it
    is kept whole, and after a browser restart the page offers it and
    Continue brings back its picture."""
    profile = tempfile.mkdtemp(prefix="chromium-title-", dir=run.work)
    driver = start_browser(profile)
    try:
        driver.get(run.url)
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
        driver.get(run.url)
        wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page in a second tab")
        driver.close()
        driver.switch_to.window(playing)
        js(driver, "document.getElementById('screen').focus();")
        keys = "@%d\r%s" % (run.seed, run.keys)
        press_all(driver, keys)
        before = os.path.join(run.work, "title-kept-before.png")
        canvas_png(driver, before)
        wait_for_kept(driver, 0, "the game started after the list and a second tab")

        # The game's last batch is kept once the program waits again.
        def whole():
            newest = newest_kept(driver)
            return newest if newest and newest["seed"] == str(run.seed) and newest["turn"] >= len(run.keys) else None
        try:
            game = wait_until(whole, "the game kept whole", 10, 0.1)
        except Stop:
            game = newest_kept(driver) or {}
        run.report.check(game.get("seed") == str(run.seed) and game.get("turn", 0) >= len(run.keys),
                         "a game on its title while \"Your games\" and a second tab list the kept games is kept "
                         "once played: seed %s, turn %s" % (game.get("seed"), game.get("turn")),
                         "the game opened beside \"Your games\" and a second tab is kept as %r" % game)
        driver.quit()
        driver = start_browser(profile)
        label = continue_kept(run, driver, run.url, "a game begun beside the list, after a browser restart")
        after = os.path.join(run.work, "title-kept-after.png")
        canvas_png(driver, after)
        differing = differing_pixels(before, after, os.path.join(run.work, "title-kept-difference.png"))
        run.report.check("seed %d" % run.seed in label and differing == "0",
                         "after a browser restart \"%s\" brings back that game's picture" % label,
                         "after a browser restart \"%s\": %s pixels differ from the game left" % (label, differing))
    finally:
        driver.quit()


def check_long_continue(run, turns=1000):
    """A game of `turns` keys, played as fast as the page takes them, is kept
    with a picture beside it, and continued after a reload shows the picture
    of its recording as delve-replay plays it. (How fast is for the
    budgets: scripts/measure/page.py.)"""
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-long-", dir=run.work))
    driver.set_script_timeout(1800)
    try:
        open_page(driver, run.url + "?seed=%d" % run.seed, "long game")
        started = time.monotonic()
        game = play_fast_and_keep(driver, turns)
        played = time.monotonic() - started
        run.report.ok("long game: %d keys played in %.0f s, kept at turn %d, level %d, %d KB"
                      % (turns, played, game["turn"], game["level"], game["length"] // 1024))
        # A picture is kept every so many key batches, so that a continue
        # need not draw the whole game again.
        try:
            wait_until(lambda: kept_recording(driver, game["id"])[1], "a picture kept", 10, 0.2)
            pictured = True
        except Stop:
            pictured = False
        run.report.check(pictured, "the long game has a picture kept beside it, to continue from",
                         "no picture is kept beside a game of %d keys" % turns)
        driver.get(run.url)
        wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice (long game)")
        driver.find_element(By.ID, "choose-continue").click()
        wait_for(driver, "Delve.state === 'running' && Delve.presents > 0 && Delve.waiting",
                 "the continued long game", 120)
        # What it shows is the end of its recording, as delve-replay plays it.
        recording, _ = kept_recording(driver, game["id"])
        path = os.path.join(run.work, "long.rec")
        with open(path, "wb") as out:
            out.write(recording)
        expected = os.path.join(run.work, "long-replay.png")
        subprocess.run([run.replay, "--dir", run.game, "--recording", path, "--screenshot", expected],
                       check=True, stdout=subprocess.DEVNULL)
        web = os.path.join(run.work, "long-page.png")
        canvas_png(driver, web)
        differing = differing_pixels(web, expected, os.path.join(run.work, "long-difference.png"))
        run.report.check(differing == "0",
                         "the continued %d-turn game shows the picture of its recording pixel for pixel"
                         % game["turn"],
                         "the continued %d-turn game differs from its recording's picture in %s pixels (see %s)"
                         % (game["turn"], differing, run.work))
    finally:
        driver.quit()
