"""A player's own data: a zip and a folder opened through the page play as
delve-replay --dir plays them, the check's lines are delve-check's, and
hostile zips are refused with their reasons while the shipped game plays on."""

import base64
import os
import re
import shutil
import struct
import subprocess
import zipfile
import zlib

from selenium.webdriver.common.by import By

from e2e.browser import js
from e2e.report import Stop
from e2e.web.common import SOURCE_ROOT, check_console, compare_with_replay, press_all, save_page, settle, wait_for

OWN_FIXTURE = os.path.join(SOURCE_ROOT, "tests", "sim", "fixture", "res")



def hand_zip(path, entries):
    """A zip written field by field, so that names and stated sizes can be
    anything: entries are (name, data, stated size or None), deflated."""
    out, listing, at = [], [], 0
    for name, data, stated in entries:
        packer = zlib.compressobj(6, zlib.DEFLATED, -15)
        packed = packer.compress(data) + packer.flush()
        size = len(data) if stated is None else stated
        crc = zlib.crc32(data)
        raw = name.encode("utf-8")
        header = struct.pack("<HHHHHIIIHH", 20, 0, 8, 0, 0, crc, len(packed), size, len(raw), 0)
        listing.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014b50, 20, 20, 0, 8, 0, 0, crc, len(packed), size,
                                   len(raw), 0, 0, 0, 0, 0, at) + raw)
        out.append(struct.pack("<I", 0x04034b50) + header + raw + packed)
        at += len(out[-1])
    listing = b"".join(listing)
    end = struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, len(entries), len(entries), len(listing), at, 0)
    with open(path, "wb") as f:
        f.write(b"".join(out) + listing + end)


def zip_folder(folder, path):
    """A zip of the folder itself (its name the top folder inside), as a file manager makes it."""
    parent = os.path.dirname(folder)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for where, _, names in os.walk(folder):
            for name in sorted(names):
                full = os.path.join(where, name)
                z.write(full, os.path.relpath(full, parent))


def own_data_folders(run):
    """Two data folders made from the shipped tiles: "Quest" with the test
    fixture's res/, and "Broken" with the shipped res/ spoilt in ways the
    check finds (a missing key, a stray data file, a missing tile)."""
    base = os.path.join(run.work, "own")
    quest, broken = os.path.join(base, "Quest"), os.path.join(base, "Broken")
    for folder, res in ((quest, OWN_FIXTURE), (broken, os.path.join(SOURCE_ROOT, "res"))):
        shutil.copytree(os.path.join(run.game, "tiles"), os.path.join(folder, "tiles"))
        shutil.copytree(res, os.path.join(folder, "res"))
    with open(os.path.join(broken, "res", "gamedata.dat"), "rb") as f:
        lines = f.read().split(b"\r\n")
    with open(os.path.join(broken, "res", "gamedata.dat"), "wb") as f:
        f.write(b"\r\n".join(line for line in lines if not line.lower().startswith(b"party/2/name")))
    with open(os.path.join(broken, "res", "gamedat.dat"), "wb") as f:
        f.write(b"a=1\r\n")
    party = os.path.join(broken, "tiles", "party")
    os.remove(os.path.join(party, sorted(os.listdir(party))[0]))
    return quest, broken


def replay_copy(folder, run):
    """delve-replay on a copy (the game writes beside its data files)."""
    copy = folder + "-replayed"
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(folder, copy)
    return run.with_game(copy)


def delve_check_findings(run, folder):
    """delve-check's lines on the folder, its closing count aside."""
    tool = subprocess.run([os.path.join(os.path.dirname(run.replay), "delve-check"), folder],
                          capture_output=True, text=True)
    return tool.stdout.splitlines()[:-1]


def own_status(driver, what):
    wait_for(driver, "document.getElementById('own-dialog').open && "
                     "/cannot be played|is ready|The check found/.test(document.getElementById('own-status').textContent)",
             what, 30)
    return js(driver, "return [document.getElementById('own-status').textContent, "
                      "Array.from(document.querySelectorAll('#own-findings li'), function (li) { return li.textContent; })];")


def own_choose(driver, input_id, path, what):
    js(driver, "document.getElementById('own-status').textContent = '';"
               "if (!document.getElementById('own-dialog').open) document.getElementById('own-open').click();")
    driver.find_element(By.ID, input_id).send_keys(path)
    return own_status(driver, what)


def own_play(run, driver, name, replay_run, what):
    """Play it; the page starts again on the data and plays the seed's keys."""
    js(driver, "window.beforeReload = true;")
    driver.find_element(By.ID, "own-play").click()
    wait_for(driver, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                     "!document.getElementById('own-playing').hidden", "the page on " + what, 30)
    shown = js(driver, "return document.getElementById('own-name').textContent;")
    run.report.check(shown == name, "the page says it plays \"%s\"" % shown,
                     "the page names %r, not %r" % (shown, name))
    settle(driver)
    press_all(driver, run.keys)
    compare_with_replay(replay_run, driver, run.keys, run.seed, what)


def check_own_data(run, driver):
    quest, broken = own_data_folders(run)
    quest_zip = os.path.join(run.work, "own", "Quest.zip")
    zip_folder(quest, quest_zip)
    url = run.url + "?seed=%d" % run.seed
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'running'", "the page (own data)")
    run.report.check(js(driver, "return !document.getElementById('own-folder-line').hidden;"),
                     "the page offers a folder as well as a zip", "the page offers no folder picker in Chromium")

    # A returning player, offered Continue and New game, picks a zip instead:
    # it is checked there and then, and plays.
    driver.get(run.url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice to continue (own data)")
    status, _ = own_choose(driver, "own-zip", quest_zip, "Quest.zip chosen beside Continue and New game")
    run.report.check("Quest.zip" in status and "cannot be played" not in status and
                     js(driver, "return !document.getElementById('own-play').hidden;"),
                     "a zip chosen while Continue and New game are on offer is checked: \"%s\"" % status,
                     "a zip chosen while Continue and New game are on offer: %r" % status)
    js(driver, "window.beforeReload = true;")
    driver.find_element(By.ID, "own-play").click()
    wait_for(driver, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                     "!document.getElementById('own-playing').hidden", "Quest.zip played from the choice", 30)
    run.report.ok("and it plays: the page starts again on Quest.zip")
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'running'", "the page on Quest.zip (own data)")

    # A zip of a data folder: checked clean, then played as delve-replay --dir plays it.
    status, lines = own_choose(driver, "own-zip", quest_zip, "the check of Quest.zip")
    expected = delve_check_findings(run, quest)
    run.report.check(lines == expected and "The check found %d problem" % len(lines) in status,
                     "Quest.zip: the page shows delve-check's %d findings on the folder, line for line" % len(lines),
                     "Quest.zip: the page shows %r (%r); delve-check says %r" % (lines, status, expected))
    own_play(run, driver, "Quest.zip", replay_copy(quest, run), "own-zip")

    # A broken folder opened through the page: the check's lines are delve-check's.
    status, lines = own_choose(driver, "own-folder", broken, "the check of the Broken folder")
    expected = delve_check_findings(run, broken)
    run.report.check(lines == expected and lines and "The check found %d problem" % len(lines) in status,
                     "the Broken folder: the page shows delve-check's %d findings, line for line, and lets it play"
                     % len(lines),
                     "the Broken folder: the page shows %r (%r); delve-check says %r" % (lines, status, expected))
    if run.own_data_screenshot:
        save_page(run, driver, run.own_data_screenshot)
    own_play(run, driver, "Broken", replay_copy(broken, run), "own-folder")

    # Back to the shipped game, then hostile zips while it plays: each refused
    # with its reason, and the game plays on untouched.
    js(driver, "window.beforeReload = true;")
    driver.find_element(By.ID, "own-back").click()
    wait_for(driver, "!window.beforeReload && window.Delve && Delve.state === 'running' && Delve.presents > 0 && "
                     "document.getElementById('own-playing').hidden", "the shipped game again", 30)
    settle(driver)
    hostile = os.path.join(run.work, "own", "hostile")
    os.makedirs(hostile)
    good = ("res/gamedata.dat", b"a=1\r\n", None)
    cases = (
        ("empty.zip", None, "the zip file is empty (0 bytes)"),
        ("climbing.zip", [good, ("res/../../evil.dat", b"x", None)], "res/../../evil.dat climbs out of its folder"),
        ("absolute.zip", [("/res/gamedata.dat", b"x", None)], "/res/gamedata.dat is an absolute path"),
        ("drive.zip", [("C:/res/gamedata.dat", b"x", None)], "C:/res/gamedata.dat names a drive"),
        ("backslash.zip", [("res\\gamedata.dat", b"x", None)], "res\\gamedata.dat has a backslash"),
        ("thousands.zip", [("res/%05d.dat" % i, b"", None) for i in range(20001)],
         "it holds 20001 files, more than the 20000 a game's data may have"),
        ("bomb.zip", [good, ("tiles/bomb.til", bytes(65 << 20), None)],
         "its files would take more than 64 MB unpacked"),
        ("understated.zip", [good, ("tiles/bomb.til", bytes(8 << 20), 1000)],
         "tiles/bomb.til unpacks to more than the 1000 bytes its listing states"),
        ("nores.zip", [("tiles/a.til", b"x", None), ("gamedata.dat", b"a=1", None)], "it has no res folder"),
        ("twice.zip", [good, ("tiles/a.til", b"x", None), ("res/gamedata.dat", b"b=2\r\n", None)],
         "res/gamedata.dat is in it twice"),
        ("case.zip", [good, ("res/GameData.dat", b"b=2\r\n", None)],
         "res/gamedata.dat and res/GameData.dat differ only in case"),
        ("link.zip", "link", "res/stats.dat in it is a symbolic link"),
    )
    for name, entries, reason in cases:
        path = os.path.join(hostile, name)
        if entries is None:
            open(path, "wb").close()
        elif entries == "link":
            # As zip -y stores a link on Unix: its target's name, with the
            # link's file type in the mode.
            with zipfile.ZipFile(path, "w") as z:
                z.writestr(good[0], good[1])
                link = zipfile.ZipInfo("res/stats.dat")
                link.create_system = 3
                link.external_attr = 0o120777 << 16
                z.writestr(link, "../../../home/player/.ssh/id_rsa")
        else:
            hand_zip(path, entries)
        status, _ = own_choose(driver, "own-zip", path, name)
        run.report.check(reason in status and "cannot be played" in status and
                         js(driver, "return document.getElementById('own-play').hidden;"),
                         "%s refused: \"%s\"" % (name, status),
                         "%s: %r (expected the reason %r)" % (name, status, reason))
    # A drop onto the page takes the same way.
    with open(os.path.join(hostile, "climbing.zip"), "rb") as f:
        dropped = base64.b64encode(f.read()).decode()
    js(driver, """
        document.getElementById('own-status').textContent = '';
        var bytes = Uint8Array.from(atob(arguments[0]), function (c) { return c.charCodeAt(0); });
        var transfer = new DataTransfer();
        transfer.items.add(new File([bytes], 'dropped.zip', { type: 'application/zip' }));
        document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));""",
       dropped)
    status, _ = own_status(driver, "the dropped zip")
    run.report.check("dropped.zip\" cannot be played: res/../../evil.dat climbs out" in status,
                     "a zip dropped onto the page is checked alike: \"%s\"" % status, "the dropped zip: %r" % status)
    driver.find_element(By.ID, "own-close").click()
    press_all(driver, run.keys)
    compare_with_replay(run, driver, run.keys, run.seed, "shipped-after-hostile")
    check_console(run, driver, "with own data")


# The program's memory: it grows, and never shrinks, as the program asks for more.
PROGRAM_MEMORY = "return Module.HEAPU8.length;"


def check_own_data_tries(run, driver):
    """The same zip tried again and again while the shipped game plays: each
    try's files go once it is checked, so the program's memory stays flat;
    and a zip of ten thousand small files shows how far its import got, the
    page drawing on meanwhile."""
    quest = os.path.join(run.work, "own", "Quest")
    if not os.path.isdir(quest):
        quest, _ = own_data_folders(run)
    filler_mb = 8
    heavy = os.path.join(run.work, "own", "Heavy.zip")
    zip_folder(quest, heavy)
    with zipfile.ZipFile(heavy, "a", zipfile.ZIP_STORED) as z:
        z.writestr("Quest/tiles/filler.til", os.urandom(filler_mb << 20))
    driver.get(run.url + "?seed=%d" % run.seed)
    wait_for(driver, "window.Delve && Delve.state === 'running'", "the page (own data tries)")
    settle(driver)
    tries, memory = 12, []
    for n in range(tries):
        status, _ = own_choose(driver, "own-zip", heavy, "try %d of Heavy.zip" % (n + 1))
        if "Heavy.zip" not in status or "cannot be played" in status:
            raise Stop("try %d of Heavy.zip: %r" % (n + 1, status))
        memory.append(js(driver, PROGRAM_MEMORY))
    grown = memory[-1] - memory[2]
    run.report.check(grown < (filler_mb << 20),
                     "%d tries of a %d MB zip: the program's memory stays at %d MiB from the third on (%+d bytes)"
                     % (tries, filler_mb, memory[-1] >> 20, grown),
                     "%d tries of a %d MB zip: the program's memory went %s MiB"
                     % (tries, filler_mb, [m >> 20 for m in memory]))

    # Ten thousand small files: the dialog counts them as they are read,
    # and the page draws frames while it works.
    many = os.path.join(run.work, "own", "Many.zip")
    zip_folder(quest, many)
    with zipfile.ZipFile(many, "a", zipfile.ZIP_DEFLATED) as z:
        for i in range(10000):
            z.writestr("Quest/tiles/many/%05d.til" % i, b"tile %d\n" % i)
    js(driver, """
        window.ownLines = []; window.ownFrames = 0; window.ownLongest = 0;
        window.ownTasks = new PerformanceObserver(function (list) {
          list.getEntries().forEach(function (task) { ownLongest = Math.max(ownLongest, task.duration); }); });
        ownTasks.observe({ type: 'longtask' });
        var status = document.getElementById('own-status');
        window.ownWatch = new MutationObserver(function () {
          ownLines.push(Math.round(performance.now()) + ' ' + status.textContent); });
        ownWatch.observe(status, { childList: true, characterData: true, subtree: true });
        (function frame() { ownFrames++; if (window.ownWatch) requestAnimationFrame(frame); })();""")
    started = js(driver, "return performance.now();")
    status, _ = own_choose(driver, "own-zip", many, "Many.zip")
    took = (js(driver, "return performance.now();") - started) / 1000
    lines, frames, longest = js(driver, "ownWatch.disconnect(); window.ownWatch = null; ownTasks.disconnect(); "
                                        "return [ownLines, ownFrames, ownLongest];")
    counted = [line for line in lines if re.search(r"unpacked [\d,]+ of [\d,]+ files", line)]

    def since(pattern):
        at = [int(line.split(" ", 1)[0]) for line in lines if re.search(pattern, line)]
        return (at[0] - started) / 1000 if at else float("nan")
    stages = "listing from %.1f s, unpacking from %.1f s, the check from %.1f s" % (
        since("reading its listing"), since("unpacked"), since(r"\u2026 checking"))
    # Frames drawn tell that the page kept its thread free; how long it held
    # it at most is a figure, not a check (this machine may be loaded).
    run.report.check("Many.zip" in status and "cannot be played" not in status and counted and frames > 5,
                     "a zip of 10,000 small files: imported in %.1f s (%s), its progress shown %d times "
                     "(\"%s\"), %d frames drawn meanwhile, the longest task %.0f ms"
                     % (took, stages, len(counted), counted[-1].split(" ", 1)[1] if counted else "", frames,
                        longest),
                     "a zip of 10,000 small files: %r after %.1f s, progress lines %r, %d frames"
                     % (status, took, lines[:5], frames))
    driver.find_element(By.ID, "own-close").click()
    check_console(run, driver, "with own data tried again and again")
