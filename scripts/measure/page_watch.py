"""The page's watching budgets (scripts/measure/page.py runs them): a long
game drawn throughout opened from a shared link until its first picture
and whole timeline are shown, and a link to its last turn until that
turn's picture; seeking to random turns with the range, straight after
opening (a far turn is told by the spans kept at opening, long before the
watcher has noted that far) and once the watcher has noted the whole game,
both also with the processor slowed; the longest task that held the page's
thread meanwhile; the page's memory after; and how long a Share… link to a
long game of single keys is."""

import os
import random
import shutil
import statistics
import subprocess
import tempfile
import time

OPEN_LIMIT_S = 3.0          # for 10,000 turns
LATE_LINK_LIMIT_S = 1.5     # a link to the last of 10,000 turns
SEEK_LIMIT_MS = 400.0
SLOWED_SEEK_LIMIT_MS = 1500.0
LINK_LIMIT = 24576          # characters
SEEKS = 20
LONG_TASK_MS = 50           # the page's thread held no longer than this at a time, the aim
LONG_TASK_LIMIT_MS = 100    # gated at twice the aim, as a turn's time is
SINGLE_KEYS = "8624 vhf+"
CHECKPOINT_TURNS = 50
# The watcher notes the game (and draws ahead, should the notes stop short)
# while the viewer looks on; it has done so once the page's main thread goes
# quiet (a paused watcher only looks for keys).
QUIET_PERCENT = 5.0
QUIET_WINDOW_S = 1.0
QUIET_WAIT_S = 90.0

# Put in every document before the page's own scripts: it stands between
# the program and the watch bar (globalThis.delveTimeline) and notes the
# moment a report it waits for is followed by a picture on the canvas. At
# first it waits for the opening: the range enabled with the last turn as
# its max, then the first picture after that.
PROBE = r"""
(function () {
  var inner;
  // A link to a later turn waits for that turn's picture (watchProbeTurn,
  // set before this), not the first picture shown.
  var probe = window.watchProbe = { began: null, want: { turn: window.watchProbeTurn || 0 },
                                    reportedAt: null, doneAt: null,
                                    lastTurns: [], done: null, longTasks: [] };
  // Every task that held the main thread over 50 ms: [start, duration] in ms.
  try {
    new PerformanceObserver(function (list) {
      list.getEntries().forEach(function (task) { probe.longTasks.push([task.startTime, task.duration]); });
    }).observe({ type: 'longtask', buffered: true });
  } catch (error) { probe.longTasks = null; }
  function range() { return document.getElementById('watch-turn'); }
  function hookShow() {
    var page = window.Module && window.Module.page;
    if (!page || page.probed) return;
    var show = page.show;
    page.show = function () {
      var result = show.apply(this, arguments);
      if (probe.want && probe.reportedAt !== null && probe.doneAt === null) {
        probe.doneAt = performance.now();
        probe.want = null;
        if (probe.done) probe.done();
      }
      return result;
    };
    page.probed = true;
  }
  function wrapped(timeline) {
    inner(timeline);
    if (!timeline) return;
    if (probe.lastTurns.indexOf(timeline.lastTurn) < 0) probe.lastTurns.push(timeline.lastTurn);
    var want = probe.want, r = range();
    if (!want || probe.reportedAt !== null || r.disabled) return;
    // A turn on its way ("getting there…") is not shown yet.
    var shown = want.turn === 0 ? timeline.lastTurn > 1 && Number(r.max) === timeline.lastTurn
                                : timeline.turn === want.turn && Number(r.value) === want.turn &&
                                  !/getting there/.test(timeline.label || '');
    if (!shown) return;
    probe.reportedAt = performance.now();
    hookShow();
  }
  Object.defineProperty(window, 'delveTimeline', {
    configurable: true,
    get: function () { return inner ? wrapped : inner; },
    set: function (f) { if (f && probe.began === null) probe.began = performance.now(); inner = f; }
  });
})();"""

# One seek as a viewer makes it on the range (its input event, the page's
# own path to the program), timed from the event to the picture of that
# turn on the canvas: [to the picture, to the program's report of it] in ms.
SEEK = """
    var done = arguments[arguments.length - 1], turn = arguments[0];
    var probe = window.watchProbe, r = document.getElementById('watch-turn'), start;
    probe.reportedAt = null;
    probe.doneAt = null;
    probe.done = function () { done([probe.doneAt - start, probe.reportedAt - start]); };
    probe.want = { turn: turn };
    start = performance.now();
    r.value = String(turn);
    r.dispatchEvent(new Event('input', { bubbles: true }));"""

class CannotMeasure(Exception):
    """Something the budgets need could not be measured: one line says what."""


def drawn_game(args):
    """A long game drawn throughout, as bench/delve-long-game makes it: its recording's bytes."""
    long_game = os.path.join(args.build, "bench", "delve-long-game")
    if not os.access(long_game, os.X_OK):
        raise CannotMeasure("%s is missing (a release build with -DDELVE_BENCH=ON)" % long_game)
    # In memory where the system has it: the game writes its recording as it goes.
    folder = tempfile.mkdtemp(prefix="delve-page-watch-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    try:
        for part in ("res", "tiles"):
            shutil.copytree(os.path.join(args.game, part), os.path.join(folder, part))
        try:
            made = subprocess.run([long_game, "--drawn", folder, str(args.long_turns), "4242",
                                   os.path.join(folder, "end.png")], capture_output=True, text=True, timeout=600)
        except subprocess.TimeoutExpired:
            raise CannotMeasure("delve-long-game took over 10 minutes to make the game")
        if made.returncode != 0:
            raise CannotMeasure("delve-long-game could not make the game: " + made.stderr.strip())
        with open(made.stdout.strip().splitlines()[-1], "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def single_key_game(start, turns, seed):
    """A recording of `turns` turns each of one random key, every key its own
    batch as a player pressing one key at a time gives them, with a
    checkpoint every 50 turns (a digest, as good as random to a packer). The
    lines before the keys are `start`'s: a real game's header, title keys
    and clock readings. Only the link's length is made of it: the page
    checks a link's header, the program every line when it plays one."""
    generator = random.Random(seed)
    lines = []
    for line in start.decode("latin-1").splitlines():
        lines.append(line)
        if line.startswith("# seed"):
            break
    for turn in range(turns):
        key = generator.choice(SINGLE_KEYS)
        lines.append("k %d %s" % (turn, "\\x20" if key == " " else key))
        if (turn + 1) % CHECKPOINT_TURNS == 0:
            lines.append("p %d %016x" % (turn + 1, generator.getrandbits(64)))
    lines += ["p %d %016x" % (turns, generator.getrandbits(64)), "# end closed"]
    return ("\n".join(lines) + "\n").encode("latin-1")


def make_link(driver, recording, turn=1):
    from e2e.web.common import page_link
    link = page_link(driver, recording, turn)
    if not link.startswith("http"):
        raise CannotMeasure("the page made no link: %s" % link)
    return link


def seeks(driver, turns, slowdown=1):
    """Each turn sought on the range in turn: [(ms to its picture, ms to the report)]."""
    times = []
    driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": slowdown})
    try:
        for turn in turns:
            times.append(driver.execute_async_script(SEEK, turn))
    finally:
        driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": 1})
    return times


def random_turns(generator, last_turn):
    turns = []
    while len(turns) < SEEKS:
        turn = generator.randint(1, last_turn)
        if not turns or turn != turns[-1]:
            turns.append(turn)
    return turns


def wait_until_quiet(driver):
    """Until the page's main thread is quiet over a window (the watcher has
    drawn the whole game ahead); the seconds it took."""
    started = time.monotonic()

    def task_seconds():
        metrics = driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
        return next(m["value"] for m in metrics if m["name"] == "TaskDuration")
    while time.monotonic() - started < QUIET_WAIT_S:
        before = task_seconds()
        time.sleep(QUIET_WINDOW_S)
        if 100.0 * (task_seconds() - before) / QUIET_WINDOW_S < QUIET_PERCENT:
            return time.monotonic() - started
    raise CannotMeasure("the watcher was still busy %.0f s after opening" % QUIET_WAIT_S)


def record_seeks(out, name, times, limit, when):
    """The median (gated when `limit` is given) and the slowest (shown) of a series of seeks."""
    shown = [t[0] for t in times]
    out.record("page: seeking %s, median of %d random turns" % (name, len(shown)),
               round(statistics.median(shown), 1), "ms", limit,
               "%s: %s; range input to the turn's picture (%s ms)"
               % ("shown, not gated" if limit is None else "gated", when, ", ".join("%.0f" % t for t in shown)))
    out.record("page: seeking %s, the slowest of %d" % (name, len(shown)), round(max(shown), 1), "ms", None,
               "shown, not gated: %s" % when)


def record_long_tasks(out, tasks, since):
    """The longest task that held the page's main thread while watching:
    from the opened game's first picture (`since`, ms) through the unslowed
    seeks and the noting between them. The browser reports only tasks over
    50 ms."""
    if tasks is None:
        raise CannotMeasure("the browser reports no long tasks")
    held = [(start - since, duration) for start, duration in tasks if start >= since]
    longest = round(max(d for _, d in held)) if held else LONG_TASK_MS
    which = ("%d tasks over %d ms (%s)" % (len(held), LONG_TASK_MS,
                                           ", ".join("%.0f ms at %.1f s" % (d, at / 1000.0) for at, d in held[:8]))
             if held else "no task over %d ms" % LONG_TASK_MS)
    out.record("page: the longest main-thread task while watching", longest, "ms", LONG_TASK_LIMIT_MS,
               "aim %d ms: %s, from the first picture through %d seeks straight after opening, "
               "the noting and %d seeks once noted" % (LONG_TASK_MS, which, SEEKS, SEEKS))


def watching(out, args, url):
    from selenium.webdriver.common.by import By
    from e2e import figures
    from e2e.browser import js, start_browser
    from e2e.web.common import wait_for
    recording = drawn_game(args)
    single = single_key_game(recording, args.long_turns, args.seed)

    # The links, made by the page's own Share… code.
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-links-", dir=args.work))
    driver.set_script_timeout(60)
    try:
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.state !== 'loading'", "the page (links)", 30)
        link = make_link(driver, recording)
        single_link = make_link(driver, single)
    finally:
        driver.quit()
    out.record("page: a Share\u2026 link to a %d-turn game of single keys" % args.long_turns, len(single_link),
               "characters", LINK_LIMIT,
               "%d random keys of '%s', each pressed alone (a key line a turn), a checkpoint every %d turns, "
               "%d bytes as recorded; made by the page's makeLink"
               % (args.long_turns, SINGLE_KEYS, CHECKPOINT_TURNS, len(single)))

    # Opened from its link in a browser that never saw the page, as one
    # sent the link opens it: from the load to the first picture with the
    # whole timeline on the range.
    driver = None
    limit = round(OPEN_LIMIT_S * args.long_turns / 10000.0, 2)
    try:
        def visit(address, what, turn=None):
            """A first visit to `address`, in a browser of its own, until the
            probe has its picture: (s to it, s the page had the game in, ms
            the program took)."""
            nonlocal driver
            if driver:
                driver.quit()
            driver = start_browser(tempfile.mkdtemp(prefix="chromium-watch-", dir=args.work))
            driver.set_script_timeout(120)
            if turn:
                driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                       {"source": "window.watchProbeTurn = %d;" % turn})
            driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": PROBE})
            driver.get(address)
            wait_for(driver, "window.watchProbe && watchProbe.doneAt !== null", what, 60)
            began, done = js(driver, "return [watchProbe.began, watchProbe.doneAt];")
            return done / 1000.0, began / 1000.0, done - began

        def opened():
            return visit(link, "the linked game's first picture")
        opens = figures.tries_until_within(opened, limit, args.repeat, value=lambda o: o[0])
        driver.execute_cdp_cmd("Performance.enable", {})
        last_turn = js(driver, "return Number(document.getElementById('watch-turn').max);")
        if last_turn < args.long_turns:
            raise CannotMeasure("the range runs to turn %d of a %d-turn game" % (last_turn, args.long_turns))
        best = min(opens)
        out.record("page: a %d-turn game opened from a link to watch" % args.long_turns, round(best[0], 3), "s",
                   limit, "first visits, best of %d (%s s): the load until the first picture and the whole "
                   "timeline (turns 1 to %d) are shown; the page had the game %.3f s in, the program opened it "
                   "in %.0f ms; the link %d characters"
                   % (len(opens), ", ".join("%.3f" % o[0] for o in opens), last_turn, best[1], best[2], len(link)))

        # Paused, as a viewer who seeks has it; right after opening.
        driver.find_element(By.ID, "watch-pause").click()
        wait_for(driver, "/^Play/.test(document.getElementById('watch-pause').getAttribute('aria-label'))",
                 "the watcher paused", 10)
        generator = random.Random(args.seed)
        cold = seeks(driver, random_turns(generator, last_turn))
        quiet = wait_until_quiet(driver)
        warm = seeks(driver, random_turns(generator, last_turn))
        tasks = js(driver, "return watchProbe.longTasks;")
        slowed = seeks(driver, random_turns(generator, last_turn), args.slowdown)
        record_seeks(out, "straight after opening", cold, SEEK_LIMIT_MS,
                     "straight after opening, the watcher has noted little yet: a far turn is told by the "
                     "spans kept at opening")
        ahead = ("after the watcher noted the whole game (its page went quiet %.0f s after the seeks "
                 "straight after opening)" % quiet)
        record_seeks(out, "once noted", warm, SEEK_LIMIT_MS, ahead)
        record_seeks(out, "once noted, processor slowed %dx" % args.slowdown, slowed, SLOWED_SEEK_LIMIT_MS,
                     ahead)
        # The browser open now is the last one opened.
        record_long_tasks(out, tasks, opens[-1][0] * 1000)
        last_turns = js(driver, "return watchProbe.lastTurns;")
        if last_turns != [last_turn]:
            raise CannotMeasure("the timeline changed after opening: last turns %s" % last_turns)
        memory = js(driver, "return Module.HEAPU8 ? Module.HEAPU8.buffer.byteLength : -1;") / 1048576.0
        if memory <= 0:
            raise CannotMeasure("the page's WebAssembly memory cannot be read")
        out.record("page: WebAssembly memory watching a %d-turn game" % args.long_turns, round(memory, 1), "MiB",
                   args.memory_limit, "after the %d seeks" % (3 * SEEKS))

        # Opened again and paused, seeking at once with the processor slowed.
        opened()
        driver.find_element(By.ID, "watch-pause").click()
        wait_for(driver, "/^Play/.test(document.getElementById('watch-pause').getAttribute('aria-label'))",
                 "the watcher paused", 10)
        slowed_cold = seeks(driver, random_turns(generator, last_turn), args.slowdown)
        record_seeks(out, "straight after opening, processor slowed %dx" % args.slowdown, slowed_cold,
                     SLOWED_SEEK_LIMIT_MS, "straight after opening again, the watcher has noted little yet: "
                     "a far turn is told by the spans kept at opening")

        # A link to the very last turn, the moment people share: opened
        # until that turn's picture, tried as the first link is.
        late_link = make_link(driver, recording, last_turn)

        def late():
            return visit(late_link, "the last turn's picture", last_turn)
        lates = figures.tries_until_within(late, LATE_LINK_LIMIT_S, args.repeat, value=lambda o: o[0])
        best = min(lates)
        out.record("page: a link at the last turn of a %d-turn game, opened to its picture" % args.long_turns,
                   round(best[0], 3), "s", LATE_LINK_LIMIT_S,
                   "first visits, best of %d (%s s): the load until turn %d's picture; the page had the game "
                   "%.3f s in, and the program showed the turn %.0f ms later"
                   % (len(lates), ", ".join("%.3f" % o[0] for o in lates), last_turn, best[1], best[2]))
    finally:
        if driver:
            driver.quit()
