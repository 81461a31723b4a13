"""The page in every engine, through the one interface of e2e.browser, each
picture held against delve-replay's pixel for pixel: the first picture,
a typed seed, ?seed= and many turns; Continue after a reload and after the
browser restarted on its profile; a second tab refused the game; Watch with
seeking; Share…'s link opened in a fresh browser of another engine at its
turn; a dungeon link made in the first engine, for the others to open
(engines_device.py). What an engine cannot do for a test is skipped with
the reason."""

import os
import random
import tempfile
import time
import urllib.parse

from e2e import browser
from e2e.browser import Unsupported, js
from e2e.web.common import compare_with_replay, settle, wait_for
from e2e.web.kept_store import kept_games, kept_recording, wait_for_kept
from e2e.web.own_data import own_data_folders
from e2e.web.studio_link import SHARE, folder_files
from e2e.web.watch import LONGEST_LINK, check_pictures, differs_from_replay, wait_for_turn


def press(b, key):
    """One key through the engine's input, then waits until the program took it."""
    before = js(b, "return Delve.keys;")
    b.keys(key)
    wait_for(b, "Delve.keys > %d && Delve.waiting" % before, "%s: the key %r taken" % (b.name, key), 20)


def press_all(b, keys):
    for key in keys:
        press(b, key)
    settle(b)


def shown(b, element_id):
    return js(b, "var e = document.getElementById(arguments[0]);"
                 "return !!e && !e.hidden && e.getBoundingClientRect().height > 0;", element_id)


def check_console(run, b, phase):
    try:
        errors = b.console_errors()
    except Unsupported as why:
        if not getattr(b, "said_no_console", False):
            run.report.skip("%s: no console errors %s" % (b.name, phase), str(why))
            b.said_no_console = True
        return
    run.report.check(not errors, "%s: no console errors %s" % (b.name, phase),
                     "%s: console errors %s: %s" % (b.name, phase, "; ".join(errors)))


def check_first_plays(run, b):
    """The first picture, then a seed typed on the title and its keys;
    then ?seed= and its keys, and many more turns. Returns all keys played
    on the seed link's game."""
    name = b.name
    started = time.monotonic()
    b.open(run.url)
    wait_for(b, "window.Delve && Delve.presents > 0", "%s: the first picture" % name, 60)
    run.report.ok("%s: the page drew its first picture %.1f s after it was asked for" % (name, time.monotonic() - started))
    settle(b)
    presents = js(b, "return Delve.presents;")
    press(b, "x")
    settle(b, presents)
    typed = "@%d\r%s" % (run.seed, run.keys)
    press_all(b, typed)
    compare_with_replay(run, b, "x" + typed, None, "%s typed" % name)
    check_console(run, b, "while playing")

    b.open(run.url + "?seed=%d" % run.seed)
    wait_for(b, "window.Delve && /running|choosing/.test(Delve.state)", "%s: the page started (?seed=)" % name)
    # The typed game is kept: a seed link starts a new game all the same.
    wait_for(b, "Delve.state === 'running' && Delve.presents > 0", "%s: the seed link's game" % name)
    settle(b)
    generator = random.Random(run.seed)
    moves = "".join(generator.choice("2468") for _ in range(run.turns))
    press_all(b, run.keys)
    compare_with_replay(run, b, run.keys, run.seed, "%s seed-link" % name)
    press_all(b, moves)
    compare_with_replay(run, b, run.keys + moves, run.seed, "%s seed-link, %d more turns" % (name, run.turns))
    return run.keys + moves


def choose_continue(run, b, url, what):
    """Loads the page without a seed: it must offer the kept game; Continue."""
    b.open(url)
    wait_for(b, "window.Delve && Delve.state === 'choosing'", "%s: the choice to continue (%s)" % (b.name, what), 30)
    label = js(b, "return document.getElementById('choose-continue').textContent.trim();")
    offered = shown(b, "choose-continue") and shown(b, "choose-new") and not shown(b, "screen")
    run.report.check(offered and "seed %d" % run.seed in label,
                     "%s, %s: before the game starts the page offers \"%s\" and \"New game\"" % (b.name, what, label),
                     "%s, %s: the page offers %r" % (b.name, what, label))
    b.click("#choose-continue")
    wait_for(b, "Delve.state === 'running' && Delve.presents > 0", "%s: the continued game (%s)" % (b.name, what), 30)
    settle(b)


def check_continues(run, b, engine, played):
    """Continue after a reload and after the browser restarted on the same
    profile, each to delve-replay's picture of every key; a second tab is
    refused the game this one plays. Returns the keys played."""
    length = wait_for_kept(b, 0, "%s: the game kept" % engine, 20)["length"]
    choose_continue(run, b, run.url, "after a reload")
    press_all(b, "2486")
    played += "2486"
    compare_with_replay(run, b, played, run.seed, "%s continued after a reload" % engine)
    wait_for_kept(b, length, "%s: the continued game's keys kept" % engine, 20)

    try:
        b.restart()
    except Unsupported as why:
        run.report.skip("%s: Continue after the browser restarted on its profile" % engine, str(why))
    else:
        choose_continue(run, b, run.url, "after the browser restarted on its profile")
        press_all(b, "6w82")
        played += "6w82"
        compare_with_replay(run, b, played, run.seed, "%s continued after a browser restart" % engine)
        games = kept_games(b)
        run.report.check(isinstance(games, list) and len(games) == 2,
                         "%s: the restarted browser keeps the two games played, one of them continued twice" % engine,
                         "%s: after the restart the browser keeps %r" % (engine, games))

    playing = b.tab
    try:
        b.new_tab()
    except Unsupported as why:
        run.report.skip("%s: a second tab refused the game" % engine, str(why))
        return played
    b.open(run.url)
    wait_for(b, "window.Delve && Delve.state === 'choosing'", "%s: the choice in a second tab" % engine, 30)
    b.click("#choose-continue")
    wait_for(b, "/open in another page/.test(document.getElementById('note').textContent)",
             "%s: the second tab refusing the game" % engine, 20)
    run.report.check(js(b, "return Delve.state === 'choosing';") and shown(b, "choose-new"),
                     "%s: a game open in one tab is refused in a second: \"%s\", New game still offered"
                     % (engine, js(b, "return document.getElementById('note').textContent;")),
                     "%s: a second tab continuing the open game: state %s" % (engine, js(b, "return Delve.state;")))
    b.close_tab()
    b.switch_to(playing)
    return played


def check_watch_and_share(run, b, engine):
    """Your games, Watch on the newest: paused, the bar's buttons seek, each
    turn pictured as delve-replay --turn pictures it; Share… at the turn
    reached. Returns the link, its turn and the recording watched."""
    game = max(kept_games(b), key=lambda g: g["played"])
    b.open(run.url)
    wait_for(b, "window.Delve && Delve.state === 'choosing'", "%s: the choice (watching)" % engine, 30)
    b.click("#choose-games")
    wait_for(b, "document.querySelectorAll('#games-list li').length > 0", "%s: Your games" % engine)
    rows = js(b, "return document.querySelectorAll('#games-list li').length;")
    b.click("#games-list li button[aria-label^='Watch']")
    wait_for(b, "Delve.state === 'running' && /Playback/.test(document.title)", "%s: the kept game watched" % engine, 30)
    recording = os.path.join(run.work, "%s-watched.rec" % engine)
    with open(recording, "wb") as out:
        out.write(kept_recording(b, game["id"])[0])
    wait_for(b, "!document.getElementById('watch-turn').disabled", "%s: the watcher's timeline" % engine, 30)
    last = js(b, "return Number(document.getElementById('watch-turn').max);")
    run.report.check(last == game["turn"] + 1,
                     "%s: Your games lists %d games; the game watched runs to turn %d" % (engine, rows, last),
                     "%s: the watched game's range ends at %d, its last key at turn %d" % (engine, last, game["turn"]))
    if "Pause" in js(b, "return document.getElementById('watch-pause').getAttribute('aria-label');"):
        b.click("#watch-pause")
    wait_for(b, "/^Play/.test(document.getElementById('watch-pause').getAttribute('aria-label'))",
             "%s: the watcher paused" % engine, 20)
    pictured = {}
    for key, turn, picture in (("Home", 1, False), ("ArrowRight", 2, False), ("ArrowRight", 3, False),
                               ("ArrowLeft", 2, True), ("End", last, True), ("Home", 1, True),
                               ("ArrowRight", 2, False), ("ArrowRight", 3, True)):
        b.click('#watch button[data-key="%s"]' % key)
        wait_for_turn(b, turn, "%s: turn %d after the %s button" % (engine, turn, key), 30)
        if picture:
            pictured["%s (turn %d)" % (key, turn)] = differs_from_replay(
                run, b, recording, turn, "%s-watch-%s-%d" % (engine, key, turn))
    check_pictures(run, pictured, "%s, watching, paused" % engine)
    turn = 3
    b.click("#watch-share")
    wait_for(b, "document.getElementById('share-dialog').open && "
                "!document.getElementById('share-link-line').hidden", "%s: the link made" % engine, 30)
    link = js(b, "return document.getElementById('share-link').value;")
    fragment = urllib.parse.parse_qs(urllib.parse.urlsplit(link).fragment)
    run.report.check(link.startswith(run.url + "#watch=") and len(link) <= LONGEST_LINK and
                     fragment.get("turn") == [str(turn)],
                     "%s: Share… makes a link of %d characters at turn %d" % (engine, len(link), turn),
                     "%s: Share… made %r (%d characters), turn %s" % (engine, link[:120], len(link), fragment.get("turn")))
    b.click("#share-close")
    check_console(run, b, "watching and sharing")
    return link, turn, recording


def check_link_opened(run, engine, made_in, link, turn, recording):
    """A link made in one engine, opened in a fresh browser of another: the
    game watched at its turn, pictured as delve-replay --turn pictures it,
    the link gone from the address and nothing kept."""
    b = browser.start(engine, tempfile.mkdtemp(prefix="%s-link-" % engine, dir=run.work))
    try:
        b.open(link)
        wait_for(b, "window.Delve && Delve.state === 'running' && !document.getElementById('watch').hidden",
                 "%s: the link made in %s watched" % (engine, made_in), 60)
        wait_for_turn(b, turn, "%s: the link made in %s at turn %d" % (engine, made_in, turn), 60)
        differing = differs_from_replay(run, b, recording, turn, "%s-link-from-%s" % (engine, made_in))
        run.report.check(differing == "0" and js(b, "return location.hash;") == "" and kept_games(b) == [],
                         "%s opens the link made in %s at turn %d, its picture delve-replay's pixel for pixel; "
                         "the link leaves the address and nothing is kept" % (engine, made_in, turn),
                         "%s, the link made in %s: %s pixels differ at turn %d, address %r, kept %r"
                         % (engine, made_in, differing, turn, b.url, kept_games(b)))
    finally:
        b.quit()


def make_dungeon_link(run, b):
    """Share… of a whole data folder ("Quest", the test fixture's res/ with
    the shipped tiles) in this engine: the folder and the link's fragment."""
    own = run.with_game(run.game)
    own.work = os.path.join(run.work, "%s-dungeon-link" % b.name)
    os.makedirs(own.work)
    quest, _ = own_data_folders(own)
    made = b.execute_async_script(SHARE, folder_files(quest), None)
    link = made.get("link", "") if isinstance(made, dict) else ""
    at = link.find("#data=")
    run.report.check(link.startswith(run.url) and at > 0 and "&" not in link,
                     "%s: Share\u2026 makes a dungeon link of the whole Quest folder (%d characters)"
                     % (b.name, len(link)),
                     "%s: Share\u2026 of the Quest folder made %r" % (b.name, made))
    return {"made_in": b.name, "quest": quest, "fragment": link[at:]} if at > 0 else None


def check_engine(run, engine, links, dungeon):
    """Every check of this module on one engine; the shared link it made
    goes into `links`, and a dungeon link into `dungeon` when that is
    wanted (not None) and none was made yet."""
    profile = tempfile.mkdtemp(prefix="%s-" % engine, dir=run.work)
    b = browser.start(engine, profile)
    run.report.ok("%s %s started" % (engine, b.version))
    try:
        played = check_first_plays(run, b)
        check_continues(run, b, engine, played)
        links[engine] = check_watch_and_share(run, b, engine)
        if dungeon == {}:
            made = make_dungeon_link(run, b)
            if made:
                dungeon.update(made)
    finally:
        b.quit()


def check_engines(run, engines, guarded):
    """Each engine in turn, then each engine's link opened in the next one.
    Returns the dungeon link the first engine made for engines_device.py's
    checks to open (empty if none was made, or none of those runs)."""
    links = {}
    dungeon = {} if any(engine != "chromium" for engine in engines) else None
    for engine in engines:
        guarded(engine, check_engine, run, engine, links, dungeon)
    for i, made_in in enumerate(engines):
        opened_in = engines[(i + 1) % len(engines)]
        if links.get(made_in) and opened_in != made_in:
            guarded(opened_in, check_link_opened, run, opened_in, made_in, *links[made_in])
    return dungeon or {}
