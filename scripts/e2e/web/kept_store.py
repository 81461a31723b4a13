"""Reading the games the page keeps in the browser (IndexedDB), and
continuing one as a player does."""

from selenium.webdriver.common.by import By

from e2e.report import Stop, wait_until
from e2e.web.common import settle, wait_for


def kept_games(driver):
    """The page's kept games as IndexedDB holds them: [{id, seed, level, turn, length, ...}]."""
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


def newest_kept(driver):
    games = kept_games(driver)
    return max(games, key=lambda g: g["played"]) if isinstance(games, list) and games else None


def wait_for_kept(driver, length_above, what, timeout=10.0):
    """Until the newest kept game holds more than `length_above` bytes; it, then."""
    def grown():
        game = newest_kept(driver)
        return game if game and game["length"] > length_above else None
    try:
        return wait_until(grown, what, timeout, 0.1)
    except Stop:
        raise Stop("%s: no kept game grew past %d bytes (%s)" % (what, length_above, kept_games(driver)))


def continue_kept(run, driver, url, what):
    """Loads the page without a seed: it must offer the kept game; Continue."""
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice to continue (%s)" % what)
    button = driver.find_element(By.ID, "choose-continue")
    label = button.text
    run.report.check(button.is_displayed() and driver.find_element(By.ID, "choose-new").is_displayed() and
                     not driver.find_element(By.ID, "screen").is_displayed(),
                     "%s: before the game starts the page offers \"%s\" and \"New game\"" % (what, label),
                     "%s: the page offers %r" % (what, label))
    button.click()
    wait_for(driver, "Delve.state === 'running' && Delve.presents > 0", "the continued game (%s)" % what)
    settle(driver)
    return label


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


# Plays `turns` keys as fast as the program takes them: move keys, and Space
# now and then, from a fixed sequence, each given as the program asks for
# keys; done once the last is taken.
PLAY_FAST = """
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
    Delve.queueKey('6');"""

# How many bytes the program has written to the recording the page keeps:
# the newest of the page's game files in its memory file system (numbered
# from 1 in each page load; only reading a file is open to the page).
RECORDING_WRITTEN = """
    var size = -1;
    for (var n = 1; ; n++) {
      try { size = Module.FS.readFile('/kept-game-' + n + '.rec').length; } catch (e) { return size; }
    }"""


def play_fast_and_keep(driver, turns):
    """Plays `turns` keys of a fixed sequence as fast as the page takes them;
    returns the kept game once it holds every byte the program wrote."""
    driver.execute_async_script(PLAY_FAST, turns)
    settle(driver)

    def all_kept():
        game = newest_kept(driver)
        return game if game and game["length"] == driver.execute_script(RECORDING_WRITTEN) else None
    try:
        return wait_until(all_kept, "the long game kept whole", 30, 0.1)
    except Stop:
        raise Stop("the long game: %s kept, the program wrote %s bytes"
                   % (newest_kept(driver), driver.execute_script(RECORDING_WRITTEN)))
