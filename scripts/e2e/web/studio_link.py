"""Dungeon links and the studio's tiles, in browsers of their own: a dungeon
shared from one browser plays in a fresh one as delve-replay --dir plays the
same files, pixel for pixel, is kept there and continues on it; a game link
beside it is watched on that dungeon; hostile dungeon links are refused in
one note with the import's reasons and change nothing kept; and a PNG made by
ImageMagick comes into a tile as delve-tiles from-png takes it."""

import base64
import os
import shutil
import subprocess
import tempfile
import zlib

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

from e2e.browser import differing_pixels, js, start_browser
from e2e.report import Stop
from e2e.web.common import check_console, compare_with_replay, press_all, settle, wait_for
from e2e.web.kept_store import continue_kept, kept_games, wait_for_kept
from e2e.web.own_data import own_data_folders, replay_copy
from e2e.web.watch import watch_kept_game

# The studio's work, as the studio hands it over: paths below the data
# folder to bytes.
WORK = """var files = arguments[0], work = new Map();
Object.keys(files).forEach(function (path) {
  work.set(path, Uint8Array.from(atob(files[path]), function (c) { return c.charCodeAt(0); })); });"""
SHARE = WORK + """
var done = arguments[arguments.length - 1];
import('./dungeon-link.js').then(function (m) { return m.shareWork(work, arguments[1]); })
  .then(done, function (error) { done({ problem: String(error) }); });"""
# What a page keeps of a player's own data: its name, and the kept source's kind and size.
KEPT_OWN = """var done = arguments[arguments.length - 1];
var flag = localStorage.getItem('delve-own-data');
var request = indexedDB.open('delve-own-data');
request.onsuccess = function () {
  var db = request.result;
  if (!db.objectStoreNames.contains('source')) { db.close(); done([flag, null]); return; }
  var got = db.transaction('source').objectStore('source').get('current');
  got.onsuccess = function () {
    db.close();
    var s = got.result;
    done([flag, s ? [s.kind, s.name, s.files.length, s.files[0].size || s.files[0].byteLength] : null]);
  };
};
request.onerror = function () { done([flag, String(request.error)]); };"""


def folder_files(folder):
    """Every file of a data folder, by its path below it, base64."""
    files = {}
    for where, _, names in os.walk(folder):
        for name in names:
            full = os.path.join(where, name)
            with open(full, "rb") as f:
                files[os.path.relpath(full, folder).replace(os.sep, "/")] = base64.b64encode(f.read()).decode()
    return files


def packed(entries, version=b"1"):
    """A dungeon link's payload written by hand, so that paths and stated
    sizes can be anything: entries are (path, bytes, stated size or None)."""
    listing = b"".join(b"%d %s\n" % (len(data) if stated is None else stated, path.encode())
                       for path, data, stated in entries)
    raw = b"delve-data " + version + b"\n" + listing + b"\n" + b"".join(data for _, data, _ in entries)
    return base64.urlsafe_b64encode(zlib.compress(raw, 9)).rstrip(b"=").decode()


def open_link(driver, link, what):
    driver.get("about:blank")
    driver.get(link)
    wait_for(driver, "window.Delve && /running|choosing|ended/.test(Delve.state)", what, 30)


def check_dungeon_link(run):
    quest = os.path.join(run.work, "own", "Quest")
    if not os.path.isdir(quest):
        quest, _ = own_data_folders(run)
    sharer = start_browser(tempfile.mkdtemp(prefix="chromium-sharer-", dir=run.work))
    try:
        sharer.get(run.url)
        wait_for(sharer, "window.Delve && /running|choosing/.test(Delve.state)", "the page that shares")
        made = sharer.execute_async_script(SHARE, folder_files(quest), None)
        check_console(run, sharer, "sharing a dungeon")
    finally:
        sharer.quit()
    if "link" not in made:
        raise Stop("Share\u2026 made no link of Quest: %r" % made)
    link = made["link"]
    run.report.check(link.startswith(run.url + "#data=") and "&" not in link,
                     "Share\u2026 makes a link of the whole Quest folder (%d characters)" % len(link),
                     "Share\u2026 made %r" % link[:120])
    seeded = run.url + "?seed=%d" % run.seed + link[len(run.url):]

    driver = start_browser(tempfile.mkdtemp(prefix="chromium-dungeon-", dir=run.work))
    try:
        # A fresh profile: the dungeon plays, its name is said, and the link
        # leaves the address.
        open_link(driver, seeded, "the dungeon link in a fresh browser")
        wait_for(driver, "Delve.state === 'running' && Delve.presents > 0 && "
                         "!document.getElementById('own-playing').hidden", "the dungeon played", 30)
        name = js(driver, "return document.getElementById('own-name').textContent;")
        address = js(driver, "return location.hash;")
        run.report.check(name.startswith("shared dungeon ") and address == "",
                         "a fresh browser plays the linked dungeon as \"%s\", and the link leaves the address" % name,
                         "the linked dungeon: named %r, the address's fragment %r" % (name, address[:40]))
        settle(driver)
        press_all(driver, run.keys)
        replayed = replay_copy(quest, run)
        compare_with_replay(replayed, driver, run.keys, run.seed, "dungeon-link")
        game = wait_for_kept(driver, 0, "the game on the dungeon kept")
        run.report.check(game.get("data") == name, "its game is kept on \"%s\"" % name,
                         "its game is kept on %r" % game.get("data"))
        kept_before = driver.execute_async_script(KEPT_OWN)

        # A reload without the link plays the kept dungeon again and
        # continues its game on it.
        label = continue_kept(run, driver, run.url, "the game on the dungeon")
        run.report.check(js(driver, "return document.getElementById('own-name').textContent;") == name,
                         "a reload plays the kept dungeon and offers \"%s\"" % label,
                         "a reload plays %r" % js(driver, "return document.getElementById('own-name').textContent;"))
        compare_with_replay(replayed, driver, run.keys, run.seed, "dungeon-continued")

        check_hostile_links(run, driver, name, kept_before)
        check_game_on_dungeon(run, driver, link)
        check_console(run, driver, "dungeon links")
    finally:
        driver.quit()


def check_hostile_links(run, driver, name, kept_before):
    games_before = sorted(g["id"] for g in kept_games(driver))
    good = ("res/gamedata.dat", b"a=1\r\n", None)
    cases = (
        ("not base64url", "eNq*", "the link's dungeon is not base64url"),
        ("damaged", "eNoLSS0u0U0szs9TSEksSQQALmsFNw", "cannot be unpacked (it is damaged or cut short)"),
        ("cut short", packed([good])[:-6], "cannot be unpacked (it is damaged or cut short)"),
        ("bomb", base64.urlsafe_b64encode(zlib.compress(bytes(17 << 20), 9)).rstrip(b"=").decode(),
         "the link's dungeon is larger than 16 MiB unpacked"),
        ("not a dungeon", base64.urlsafe_b64encode(zlib.compress(b"PK\x03\x04")).rstrip(b"=").decode(),
         "it holds no Delve data folder"),
        ("another format", packed([good], b"2"), "its format 2 is not supported"),
        ("climbing", packed([good, ("res/../../evil.dat", b"x", None)]), "res/../../evil.dat climbs out of its folder"),
        ("absolute", packed([("/res/gamedata.dat", b"x", None)]), "/res/gamedata.dat is an absolute path"),
        ("backslash", packed([("res\\gamedata.dat", b"x", None)]), "res\\gamedata.dat has a backslash"),
        ("thousands", packed([("res/%05d.dat" % i, b"", None) for i in range(20001)]),
         "it holds 20001 files, more than the 20000 a game's data may have"),
        ("stated huge", packed([good, ("tiles/bomb.til", b"", 65 << 20)]), "its files would take more than 64 MB"),
        ("understated", packed([good, ("tiles/bomb.til", bytes(1 << 20), 1000)]), "it is damaged or cut short"),
        ("no res", packed([("tiles/a.til", b"x", None)]), "it has no res folder"),
        ("case", packed([good, ("res/GameData.dat", b"b=2\r\n", None)]), "differ only in case"),
        ("too long", "A" * 65537, "the link is longer than 65,536 characters"),
    )
    for what, payload, reason in cases:
        open_link(driver, run.url + "#data=" + payload, "the dungeon link (%s)" % what)
        shown = js(driver, "return [document.getElementById('note').textContent, "
                           "document.getElementById('own-name').textContent, location.hash];")
        kept = driver.execute_async_script(KEPT_OWN)
        games = sorted(g["id"] for g in kept_games(driver))
        run.report.check(("This dungeon link cannot be played (" in shown[0] and reason in shown[0] and
                          "nothing was changed" in shown[0]) and shown[1] == name and shown[2] == "" and
                         kept == kept_before and games == games_before,
                         "a dungeon link (%s) is refused: \"%s\", the kept dungeon plays on" % (what, shown[0]),
                         "a dungeon link (%s): the note %r, playing %r, kept %r (was %r), games %r (were %r)"
                         % (what, shown[0][:200], shown[1], kept, kept_before, games, games_before))


def check_game_on_dungeon(run, driver, link):
    """Share… of a game watched on a linked dungeon: the link carries the
    dungeon before the game, and a fresh browser watches that game on it."""
    watch_kept_game(driver, run.url)
    settle(driver)
    driver.find_element(By.ID, "watch-share").click()
    wait_for(driver, "document.getElementById('share-dialog').open && "
                     "!document.getElementById('share-link-line').hidden", "the link made", 20)
    both = driver.find_element(By.ID, "share-link").get_attribute("value")
    said = driver.find_element(By.ID, "share-status").text
    run.report.check(both.startswith(link + "&watch=") and "on its dungeon" in said,
                     "Share… of a game on a linked dungeon carries the dungeon before it: \"%s\"" % said,
                     "Share… of a game on a linked dungeon made %r (%r)" % (both[:100], said))
    driver.find_element(By.ID, "share-close").click()
    watcher = start_browser(tempfile.mkdtemp(prefix="chromium-watch-dungeon-", dir=run.work))
    try:
        open_link(watcher, both, "a dungeon link with a game")
        wait_for(watcher, "Delve.state === 'running' && /Playback/.test(document.title) && "
                          "!document.getElementById('own-playing').hidden", "the game watched on its dungeon", 30)
        settle(watcher)
        run.report.ok("a fresh browser watches that game on that dungeon")
        check_console(run, watcher, "a game on a linked dungeon")
    finally:
        watcher.quit()


def check_tile_import(run):
    """A PNG made by ImageMagick into a tile through the tile editor: exact
    colours taken as delve-tiles from-png takes them, off-palette colours
    only when asked, with the count, and a wrong size refused."""
    if subprocess.run(["sh", "-c", "command -v convert"], capture_output=True).returncode != 0:
        run.report.ok("ImageMagick's convert is not installed: the PNG import is left unchecked")
        return
    tiles = os.path.join(os.path.dirname(run.replay), "delve-tiles")
    work = os.path.join(run.work, "tile-import")
    os.makedirs(work, exist_ok=True)
    source = os.path.join(run.game, "tiles", "map", "map_035.til")
    target = os.path.join(run.game, "tiles", "map", "map_045.til")
    subprocess.run([tiles, "png", source, os.path.join(work, "own.png")], check=True)
    for args in (["own.png", "PNG8:palette.png"], ["own.png", "-modulate", "97", "PNG24:dimmed.png"],
                 ["own.png", "-sample", "60x60!", "PNG24:half.png"]):
        subprocess.run(["convert"] + args, cwd=work, check=True)
    with open(target, "rb") as f:
        target_bytes = f.read()
    expected = {}
    for name, nearest in (("palette.png", False), ("dimmed.png", True)):
        into = os.path.join(work, name + ".til")
        with open(into, "wb") as f:
            f.write(target_bytes)
        subprocess.run([tiles, "from-png"] + (["--nearest"] if nearest else []) + [os.path.join(work, name), into],
                       check=True, capture_output=True)
        with open(into, "rb") as f:
            expected[name] = base64.b64encode(f.read()).decode()

    driver = start_browser(tempfile.mkdtemp(prefix="chromium-tiles-", dir=run.work))
    try:
        driver.get(run.url)
        wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page (tiles)")
        files = {"tiles/map/map_045.til": base64.b64encode(target_bytes).decode()}
        js(driver, WORK + """
            window.tileChanges = [];
            window.tileWork = work;
            var box = document.createElement('div');
            box.id = 'tile-box';
            document.body.appendChild(box);
            import('./studio-tiles.js').then(function (m) {
              m.mountTileEditor(box, work, function (path) { tileChanges.push(path); });
              window.tilesMounted = true;
            });""",
           files)
        wait_for(driver, "window.tilesMounted && document.querySelectorAll('#tile-box .tile-item').length === 1",
                 "the tile editor")
        picker = driver.find_element(By.CSS_SELECTOR, "#tile-box .tile-import-file")
        read_tile = "return btoa(String.fromCharCode.apply(null, tileWork.get('tiles/map/map_045.til')));"
        status = "return document.querySelector('#tile-box .tile-status').textContent;"

        def take(name, nearest, what):
            js(driver, "document.querySelector('#tile-box .tile-status').textContent = '';"
                       "document.querySelector('#tile-box .tile-nearest').checked = arguments[0];", nearest)
            picker.send_keys(os.path.join(work, name))
            wait_for(driver, "document.querySelector('#tile-box .tile-status').textContent !== ''", what)
            return js(driver, status)

        said = take("dimmed.png", False, "a dimmed picture")
        run.report.check("not one of the 16 tile colours" in said and js(driver, "return tileChanges.length;") == 0,
                         "a PNG off the tile colours is refused unless asked: \"%s\"" % said,
                         "a PNG off the tile colours: %r" % said)
        said = take("half.png", False, "a picture of the wrong size")
        run.report.check("the picture is 60 by 60 pixels, but the tile is 8 by 8" in said and
                         js(driver, "return tileChanges.length;") == 0,
                         "a PNG not of the tile's size is refused: \"%s\"" % said, "a PNG of the wrong size: %r" % said)
        said = take("palette.png", False, "ImageMagick's palette PNG")
        run.report.check(js(driver, read_tile) == expected["palette.png"] != files["tiles/map/map_045.til"] and
                         js(driver, "return tileChanges.join();") == "tiles/map/map_045.til",
                         "ImageMagick's palette PNG comes into the tile as delve-tiles from-png takes it: \"%s\""
                         % said,
                         "ImageMagick's palette PNG: %r, the tile differs from delve-tiles'" % said)
        said = take("dimmed.png", True, "the dimmed picture to the nearest colours")
        run.report.check(js(driver, read_tile) == expected["dimmed.png"] and
                         "changed to the nearest tile colour" in said,
                         "a PNG off the tile colours, asked to the nearest: \"%s\", as delve-tiles --nearest" % said,
                         "a PNG to the nearest colours: %r, the tile differs from delve-tiles'" % said)

        # A pixel painted: colour 12 at (1, 2) of the 8 by 8 tile, one stroke
        # one write.
        driver.find_element(By.CSS_SELECTOR, "#tile-box .tile-colour[aria-label='Colour 12']").click()
        grid = driver.find_element(By.CSS_SELECTOR, "#tile-box .tile-grid")
        cell = grid.size["width"] / 8.0
        ActionChains(driver).move_to_element_with_offset(grid, int(-grid.size["width"] / 2 + 1.5 * cell),
                                                         int(-grid.size["height"] / 2 + 2.5 * cell)).click().perform()
        wait_for(driver, "tileChanges.length === 3", "the painted pixel written")
        painted = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            import('./bridge.js').then(function (m) {
              var tile = m.tiles.read(tileWork.get('tiles/map/map_045.til'));
              done([tile.pixels[2 * 8 + 1], Array.from(tile.pixels).filter(function (p, i) { return i !== 17; })]);
            });""")
        before = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            var b = Uint8Array.from(atob(arguments[0]), function (c) { return c.charCodeAt(0); });
            import('./bridge.js').then(function (m) {
              done(Array.from(m.tiles.read(b).pixels).filter(function (p, i) { return i !== 17; })); });""",
            expected["dimmed.png"])
        run.report.check(painted[0] == 12 and painted[1] == before,
                         "a pixel painted in the editor is written into the tile, and only that pixel",
                         "the painted tile: pixel (1, 2) is %r, the others %s" % (
                             painted[0], "the same" if painted[1] == before else "changed"))
        check_sheet(run, driver, tiles, work)
        check_console(run, driver, "the tile editor")
    finally:
        driver.quit()


def check_sheet(run, driver, tiles, work):
    """A folder's sheet saved by the page is delve-tiles sheet's picture,
    and delve-tiles from-png reads it back into the folder."""
    folder = os.path.join(run.game, "tiles", "map")
    sheet = driver.execute_async_script(WORK + """
        var done = arguments[arguments.length - 1];
        import('./studio-tiles.js').then(function (m) { return m.sheetPng(work, 'tiles/map'); })
          .then(function (blob) { return blob.arrayBuffer(); })
          .then(function (buffer) {
            var bytes = new Uint8Array(buffer), text = '';
            for (var i = 0; i < bytes.length; i += 8192) {
              text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
            }
            done(btoa(text));
          }, function (error) { done('! ' + error); });""",
        {"tiles/map/" + name: base64.b64encode(open(os.path.join(folder, name), "rb").read()).decode()
         for name in os.listdir(folder)})
    if sheet.startswith("! "):
        raise Stop("the page's sheet of tiles/map: %s" % sheet)
    page_sheet, tool_sheet = os.path.join(work, "page-sheet.png"), os.path.join(work, "tool-sheet.png")
    with open(page_sheet, "wb") as f:
        f.write(base64.b64decode(sheet))
    subprocess.run([tiles, "sheet", folder, tool_sheet], check=True)
    differing = differing_pixels(page_sheet, tool_sheet, os.path.join(work, "sheet-difference.png"))
    copy = os.path.join(work, "map")
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(folder, copy)
    taken = subprocess.run([tiles, "from-png", page_sheet, copy], capture_output=True, text=True)
    run.report.check(differing == "0" and taken.returncode == 0 and " 0 of " in taken.stdout,
                     "the page's sheet of tiles/map is delve-tiles sheet's, pixel for pixel, and from-png reads it "
                     "back: \"%s\"" % taken.stdout.strip(),
                     "the page's sheet of tiles/map: %s pixels differ from delve-tiles sheet's; from-png said %r %r"
                     % (differing, taken.stdout, taken.stderr))
