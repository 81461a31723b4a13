"""The page in the other engines beyond play, each in a browser of its own:
"Play your own data…" with a zip played as delve-replay --dir plays it;
a dungeon link made in another engine played in a fresh profile as
delve-replay --dir plays its folder, then offline after that one visit,
where the engine gives the page a service worker (the dungeon, and the
shipped game once it is given up); the touch pad where the engine has
touch input; the phone layouts at every
size the engine can set. Chromium's own checks (touch.py, own_data.py,
app.py) cover these there."""

import os
import shutil
import tempfile

from e2e import browser
from e2e.browser import Unsupported, js
from e2e.server import StaticServer
from e2e.web.app import wait_for_version
from e2e.web.common import after_frames, compare_with_replay, settle, wait_for
from e2e.web.engines import check_console, press_all
from e2e.web.own_data import delve_check_findings, own_data_folders, own_status, replay_copy, zip_folder
from e2e.web.touch import PHONE_SIZES, PHONES, REACH_SCRIPT, TOUCH_SEED, TOUCH_TARGET_PX, rects_apart


def check_own_zip(run, b):
    """A zip of a data folder chosen in the dialog: delve-check's findings
    line for line, then played as delve-replay --dir plays the folder; back
    to the shipped game after."""
    own = run.with_game(run.game)
    own.work = os.path.join(run.work, "%s-own" % b.name)
    os.makedirs(own.work)
    quest, _ = own_data_folders(own)
    quest_zip = os.path.join(own.work, "own", "Quest.zip")
    zip_folder(quest, quest_zip)
    b.open(run.url + "?seed=%d" % run.seed)
    wait_for(b, "window.Delve && Delve.state === 'running' && Delve.presents > 0", "%s: the page (own data)" % b.name)
    b.click("#own-open")
    wait_for(b, "document.getElementById('own-dialog').open", "%s: the own data dialog" % b.name)
    b.choose_file("#own-zip", quest_zip)
    status, lines = own_status(b, "%s: the check of Quest.zip" % b.name)
    expected = delve_check_findings(own, quest)
    run.report.check(lines == expected and "The check found %d problem" % len(lines) in status,
                     "%s: Quest.zip chosen shows delve-check's %d findings on the folder, line for line"
                     % (b.name, len(lines)),
                     "%s: Quest.zip: the page shows %r (%r); delve-check says %r" % (b.name, lines, status, expected))
    js(b, "window.beforeReload = true;")
    b.click("#own-play")
    wait_for(b, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                "!document.getElementById('own-playing').hidden", "%s: the page on Quest.zip" % b.name, 60)
    settle(b)
    press_all(b, run.keys)
    compare_with_replay(replay_copy(quest, own), b, run.keys, run.seed, "%s own-zip" % b.name)
    js(b, "window.beforeReload = true;")
    b.click("#own-back")
    wait_for(b, "!window.beforeReload && window.Delve && Delve.state === 'running' && "
                "document.getElementById('own-playing').hidden", "%s: the shipped game again" % b.name, 60)
    run.report.ok("%s: Back to the shipped game plays it again" % b.name)
    check_console(run, b, "with own data")


def check_offline(run, engine, dungeon):
    """A copy of the page served here, visited once, in a fresh profile: by
    the dungeon link another engine made, when there is one, its dungeon
    played as delve-replay --dir plays the folder. With the server stopped,
    the seed link plays from what the page kept: that dungeon, and once
    given up the shipped game."""
    folder = os.path.join(run.work, "%s-offline-site" % engine)
    shutil.copytree(run.web, folder)
    with open(os.path.join(folder, "sw.js")) as f:
        version = f.read().split("var VERSION = '", 1)[1].split("'", 1)[0]
    site = StaticServer(folder).start()
    b = browser.start(engine, tempfile.mkdtemp(prefix="%s-offline-" % engine, dir=run.work))
    seeded = site.url + "?seed=%d" % run.seed
    try:
        if dungeon:
            made_in = dungeon["made_in"]
            quest = replay_copy(dungeon["quest"], run.with_game(run.game))
            b.open(seeded + dungeon["fragment"])
            wait_for(b, "window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                        "!document.getElementById('own-playing').hidden",
                     "%s: the dungeon link made in %s" % (engine, made_in), 60)
            name, address = js(b, "return [document.getElementById('own-name').textContent, location.hash];")
            run.report.check(name.startswith("shared dungeon ") and address == "",
                             "%s: a fresh profile plays the dungeon link made in %s as \"%s\", and the link "
                             "leaves the address" % (engine, made_in, name),
                             "%s: the dungeon link made in %s: named %r, the address's fragment %r"
                             % (engine, made_in, name, address[:40]))
            settle(b)
            press_all(b, run.keys)
            compare_with_replay(quest, b, run.keys, run.seed, "%s dungeon-link from %s" % (engine, made_in))
            check_console(run, b, "with a dungeon link")
        else:
            run.report.skip("%s: a dungeon link opened in a fresh profile" % engine,
                            "no engine made one (its failure is said above)")
            b.open(site.url)
            wait_for(b, "window.Delve && Delve.state === 'running'", "%s: the page (offline)" % engine, 60)
        if not js(b, "return !!navigator.serviceWorker;"):
            run.report.skip("%s: offline after one visit" % engine, "the page is given no service worker")
            return
        wait_for_version(b, version, "%s: the page kept after one visit" % engine, 60)
        site.stop()
        b.open(seeded)
        wait_for(b, "window.Delve && Delve.state === 'running' && Delve.presents > 0",
                 "%s: the seed link with the server stopped" % engine, 60)
        if dungeon:
            run.report.check(js(b, "return !document.getElementById('own-playing').hidden;"),
                             "%s: offline, the seed link plays the linked dungeon kept" % engine,
                             "%s: offline, the seed link plays the shipped game, not the linked dungeon" % engine)
            settle(b)
            press_all(b, run.keys)
            compare_with_replay(quest, b, run.keys, run.seed, "%s dungeon offline" % engine)
            js(b, "window.beforeReload = true;")
            b.click("#own-back")
            wait_for(b, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                        "document.getElementById('own-playing').hidden",
                     "%s: the shipped game offline, the dungeon given up" % engine, 60)
        settle(b)
        press_all(b, run.keys)
        compare_with_replay(run, b, run.keys, run.seed, "%s offline" % engine)
    finally:
        b.quit()
        site.stop()


def tap_pad(b, key, by_mouse):
    """Taps (or clicks) the touch button of a key; how many keys it queued."""
    before = js(b, "return Delve.keys;")
    button = '#touch button[data-key="%s"]' % key
    if by_mouse:
        b.click(button)
    else:
        b.tap(*js(b, "var r = document.querySelector(arguments[0]).getBoundingClientRect();"
                     "return [r.left + r.width / 2, r.top + r.height / 2];", button))
    wait_for(b, "Delve.keys > %d && Delve.waiting" % before, "%s: the tap on %r taken" % (b.name, key), 20)
    # A second key (a click sent after the touch) would be there once the
    # page has drawn two more frames.
    after_frames(b, 3)
    return js(b, "return Delve.keys;") - before


# What the page hears of a touch screen it was not told of: a pointer of
# type touch. Sent by a script where the engine has no touch input.
TOUCH_POINTER = ("document.getElementById('stage').dispatchEvent(new PointerEvent('pointerdown',"
                 " {pointerType: 'touch', isPrimary: true, bubbles: true}));")


def check_touch(run, b):
    """A first touch shows the touch pad (where the engine cannot report a
    touch screen, the page learns of one from it); each tap on the pad is
    one key; the canvas then equals delve-replay's after those keys. Where
    the engine has no touch input, the pad is shown by a touch pointer's
    event and clicked with the mouse, so that its layout and keys are
    still checked."""
    b.open(run.url + "?seed=%d" % TOUCH_SEED)
    wait_for(b, "window.Delve && Delve.state === 'running' && Delve.presents > 0", "%s: the page (touch)" % b.name)
    settle(b)
    # Off the canvas (a tap on the map walks), on the stage around it.
    x, y = js(b, "var s = document.getElementById('stage').getBoundingClientRect(); return [s.left + 2, s.top + 2];")
    by_mouse = False
    try:
        b.tap(x, y)
    except Unsupported as why:
        run.report.skip("%s: the touch pad tapped" % b.name, "%s; it is shown by a touch pointer's event and "
                        "clicked with the mouse instead" % why)
        js(b, TOUCH_POINTER)
        by_mouse = True
    wait_for(b, "!document.getElementById('touch').hidden", "%s: the touch pad after a first touch" % b.name, 10)
    taps = "6688"
    counts = [tap_pad(b, key, by_mouse) for key in taps]
    how = "click" if by_mouse else "tap"
    run.report.check(counts == [1] * len(taps),
                     "%s: a first touch shows the touch pad; each %s on it queued exactly one key" % (b.name, how),
                     "%s: %ss on the pad queued %s keys" % (b.name, how, counts))
    settle(b)
    compare_with_replay(run, b, taps, TOUCH_SEED, "%s touch-pad" % b.name)


def check_phones(run, b):
    """With the touch pad shown, at each phone size the engine can set:
    the canvas and the pad both in view and apart (landscape and portrait),
    every control within the screen and a finger's size, no sideways scroll."""
    for width, height in PHONE_SIZES:
        try:
            b.phone(width, height)
        except Unsupported as why:
            run.report.skip("%s: the phone layout at %dx%d" % (b.name, width, height), str(why))
            continue
        wait_for(b, "innerWidth === %d && innerHeight === %d" % (width, height),
                 "%s: the page at %dx%d" % (b.name, width, height), 10)
        after_frames(b)
        if (width, height) in PHONES:
            canvas, panel = js(b, "return ['screen', 'touch'].map(function (id) {"
                                  " var r = document.getElementById(id).getBoundingClientRect();"
                                  " return [r.left, r.top, r.right, r.bottom]; });")
            inside = all(0 <= r[0] and 0 <= r[1] and r[2] <= width and r[3] <= height for r in (canvas, panel))
            run.report.check(inside and rects_apart(canvas, panel) and canvas[2] - canvas[0] >= width * 0.45,
                             "%s, phone %dx%d: canvas and touch pad both in view, apart" % (b.name, width, height),
                             "%s, phone %dx%d: canvas at %s and pad at %s overlap or leave the view"
                             % (b.name, width, height, canvas, panel))
        seen = js(b, REACH_SCRIPT, TOUCH_TARGET_PX)
        outside = ["%s at %s" % (c["name"], c["rect"]) for c in seen["controls"] if c["outside"]]
        small = ["%s at %s" % (c["name"], c["rect"]) for c in seen["controls"] if c["small"]]
        run.report.check(seen["controls"] and not outside and not small and seen["scrollWidth"] <= width,
                         "%s, phone %dx%d: %d controls, each within the screen and at least %d px square"
                         % (b.name, width, height, len(seen["controls"]), TOUCH_TARGET_PX),
                         "%s, phone %dx%d: off the screen %s; smaller than %d px %s; document %d px wide"
                         % (b.name, width, height, outside, TOUCH_TARGET_PX, small, seen["scrollWidth"]))


def check_device(run, engine, dungeon=None):
    b = browser.start(engine, tempfile.mkdtemp(prefix="%s-device-" % engine, dir=run.work))
    try:
        check_own_zip(run, b)
        check_touch(run, b)
        check_phones(run, b)
    finally:
        b.quit()
    check_offline(run, engine, dungeon)
