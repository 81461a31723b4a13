"""scripts/web-e2e: builds the page (or takes a built one), serves it and runs
every check of the page on it; see scripts/web-e2e for the options."""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from e2e import browser
from e2e.report import Report, Stop
from e2e.server import StaticServer

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
# The page's files besides its scripts (web/js/*.js, copied as they are).
PAGE_FILES = ["delve.data", "delve.js", "delve.wasm", "icon-192.png", "icon-512.png", "index.html",
              "manifest.webmanifest", "page.css", "sw.js"]
# The checks that need Chromium's own protocol, then those of every engine.
GROUPS = ("play", "touch", "own-data", "kept", "watch", "studio-link", "app", "studio", "engines")


def options(argv):
    parser = argparse.ArgumentParser(prog="scripts/web-e2e",
                                     description="The page, end to end, in headless Chromium, WebKitGTK and Firefox.")
    parser.add_argument("--build", metavar="DIR", help="where delve-replay and delve-check are "
                        "(build/release unless given, built there when missing)")
    parser.add_argument("--web", metavar="DIR", help="a page already built (scripts/web's build/web) "
                        "instead of building it")
    parser.add_argument("--seed", type=int, default=17)
    parser.add_argument("--keys", default="6688w26 4v", help="the keys played after the seed")
    parser.add_argument("--turns", type=int, default=160, help="move keys played one by one after them")
    parser.add_argument("--keep", action="store_true", help="keep the run's folder (it is kept on a failure)")
    parser.add_argument("--page-screenshot", metavar="FILE.png", help="save the page after the ?seed= keys")
    parser.add_argument("--touch-screenshot", metavar="FILE.png", help="save the page with touch controls "
                        "on a phone, portrait and landscape side by side")
    parser.add_argument("--own-data-screenshot", metavar="FILE.png", help="save the page offering a "
                        "player's own data")
    parser.add_argument("--loading-screenshot", metavar="FILE.png", help="save the page as it loads, its files "
                        "slowed down")
    parser.add_argument("--watch-screenshot", metavar="FILE.png", help="save the page watching a kept game, "
                        "paused mid-game with the watch bar")
    parser.add_argument("--studio-screenshots", metavar="DIR", help="save the studio's parts as an author meets "
                        "them: studio-data.png (a data file with a finding), studio-tiles.png, studio-preview.png "
                        "and studio-check.png (a kept game checked against changed data)")
    parser.add_argument("--engines", metavar="ENGINES", default=",".join(browser.ENGINES),
                        help="the engines the engines checks run in, comma-separated: " + ", ".join(browser.ENGINES) +
                        " (the other checks run in Chromium, when it is listed)")
    parser.add_argument("--only", metavar="GROUPS", help="only these checks, comma-separated: " + ", ".join(GROUPS))
    args = parser.parse_args(argv)
    if args.seed < 0 or args.turns < 0:
        parser.error("--seed and --turns take a number, 0 or more")
    args.only = args.only.split(",") if args.only else list(GROUPS)
    if set(args.only) - set(GROUPS):
        parser.error("--only takes some of " + ", ".join(GROUPS))
    args.engines = args.engines.split(",")
    if set(args.engines) - set(browser.ENGINES) or not args.engines:
        parser.error("--engines takes some of " + ", ".join(browser.ENGINES))
    if "chromium" not in args.engines:
        args.only = [g for g in args.only if g == "engines"]
    for name in ("page_screenshot", "touch_screenshot", "own_data_screenshot", "loading_screenshot", "watch_screenshot",
                 "studio_screenshots", "build", "web"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    return args


def missing_tools(building, engines):
    for tool in (["em++"] if building else []) + ["compare", "convert", "Xvfb", "xdotool"]:
        if not shutil.which(tool):
            return "%s is missing (scripts/setup installs it)" % tool
    for engine in engines:
        lacking = browser.missing(engine)
        if lacking:
            return lacking
    return None


def release_build(build):
    """The native build with delve-replay, delve-check and the staged game; built when missing."""
    if build:
        return build
    build = os.path.join(ROOT, "build", "release")
    needed = ["delve-replay", "delve-check", os.path.join("game", "delve")]
    if not all(os.access(os.path.join(build, n), os.X_OK) for n in needed) or \
            not all(os.path.isdir(os.path.join(build, "game", d)) for d in ("res", "tiles")):
        subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", "release", "--target", "stage", "delve-replay",
                        "delve-check"], cwd=ROOT, check=True)
    return build


def build_page(report, work):
    started = time.monotonic()
    log = os.path.join(work, "build.log")
    with open(log, "w") as out:
        built = subprocess.run(["bash", os.path.join(ROOT, "scripts", "web")], stdout=out, stderr=subprocess.STDOUT)
    if built.returncode != 0:
        with open(log) as f:
            sys.stderr.write("".join(f.readlines()[-30:]))
        raise Stop("scripts/web failed (see %s)" % log)
    report.ok("scripts/web built build/web in %.0f s" % (time.monotonic() - started))
    return os.path.join(ROOT, "build", "web")


def check_files(report, web):
    """The page's folder holds its files and nothing else, and the service
    worker keeps, and versions, every one of them but itself."""
    scripts = sorted(n for n in os.listdir(os.path.join(ROOT, "web", "js")) if n.endswith(".js"))
    expected = sorted(PAGE_FILES + scripts)
    present = os.listdir(web)
    lacking, besides = sorted(set(expected) - set(present)), sorted(set(present) - set(expected))
    if lacking or besides:
        raise Stop("%s is not just the page's files: it lacks %s and holds besides %s"
                   % (web, lacking or "none", besides or "none"))
    report.ok("%s holds the page's %d files and nothing else" % (web, len(expected)))
    from e2e.web.app import page_files
    versioned = sorted(page_files(web))
    report.check(versioned == [n for n in expected if n != "sw.js"],
                 "sw.js versions every file of the page (%d files)" % len(versioned),
                 "sw.js versions %s, not every file of the page but itself" % versioned)


def run_groups(run):
    """Each concern in turn; one that stops leaves the others to run."""
    from selenium.common.exceptions import WebDriverException
    try:
        from websocket import WebSocketException
    except ImportError:  # only Firefox's checks need it, and missing_tools asked for it then
        WebSocketException = Stop

    from e2e.bidi import BidiError
    from e2e.web import (app, engines, engines_device, kept, kept_more, kept_without_locks, own_data, play, studio,
                         studio_link, touch, watch, watch_far)

    def guarded(name, check, *args):
        started = time.monotonic()
        try:
            check(*args)
        except (Stop, WebDriverException, BidiError, WebSocketException, subprocess.CalledProcessError) as error:
            text = str(error).strip()
            run.report.fail("%s: %s" % (name, text.splitlines()[0] if text else repr(error)))
            return False
        finally:
            print("web-e2e: %s (%s) took %.0f s" % (check.__name__, name, time.monotonic() - started), flush=True)
        return True

    # Playing, touch and a player's own data share one browser, in turn.
    if {"play", "touch", "own-data"} & set(run.only):
        driver = browser.start_browser(tempfile.mkdtemp(prefix="chromium-", dir=run.work))
        driver.set_page_load_timeout(30)
        try:
            for name, checks in (("play", (play.check_play, play.check_missing_files)),
                                 ("touch", (touch.check_touch,)),
                                 ("own-data", (own_data.check_own_data, own_data.check_own_data_tries))):
                if name in run.only and not all(guarded(name, check, run, driver) for check in checks):
                    try:
                        driver.save_screenshot(os.path.join(run.work, "failure-%s.png" % name))
                    except WebDriverException:
                        pass
        finally:
            driver.quit()
    # The others each start browsers of their own.
    if "kept" in run.only:
        for check in (kept.check_kept, kept_more.check_storage_full, kept_more.check_storage_refused,
                      kept_more.check_kept_from_title, kept_more.check_long_continue,
                      kept_without_locks.check_kept_without_locks):
            guarded("kept", check, run)
    if "watch" in run.only:
        for check in (watch.check_watch_from_seed_page, watch.check_watch, watch_far.check_far_link):
            guarded("watch", check, run)
    if "studio-link" in run.only:
        for check in (studio_link.check_dungeon_link, studio_link.check_tile_import):
            guarded("studio-link", check, run)
    if "app" in run.only:
        guarded("app", app.check_app, run)
    if "studio" in run.only:
        guarded("studio", studio.check_studio, run)
        guarded("studio", studio.check_against_kept, run)
    if "engines" in run.only:
        dungeon = engines.check_engines(run, run.engines, guarded)
        # Chromium's own checks above cover these in Chromium.
        for engine in run.engines:
            if engine != "chromium":
                guarded(engine, engines_device.check_device, run, engine, dungeon)


def main(argv=None):
    args = options(sys.argv[1:] if argv is None else argv)
    # Ended from outside (a CI step's timeout), the browsers, their drivers
    # and WebKit's display are closed on the way out rather than left behind.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    lacking = missing_tools(building=args.web is None, engines=args.engines)
    if not lacking and args.web and not os.path.isfile(os.path.join(args.web, "index.html")):
        lacking = "no built page in %s (scripts/web builds it)" % args.web
    if lacking:
        print("web-e2e: " + lacking, file=sys.stderr)
        return 2
    try:
        build = release_build(args.build)
    except subprocess.CalledProcessError as error:
        print("web-e2e: building delve-replay failed: %s" % error, file=sys.stderr)
        return 1
    if not os.access(os.path.join(build, "delve-replay"), os.X_OK):
        print("web-e2e: no delve-replay in %s" % build, file=sys.stderr)
        return 2
    from e2e.web.common import Run
    report = Report("web-e2e")
    work = tempfile.mkdtemp(prefix="delve-web-e2e-")
    server = None
    try:
        web = args.web or build_page(report, work)
        check_files(report, web)
        server = StaticServer(web).start()
        print("web-e2e: serving %s on %s" % (web, server.url), flush=True)
        # delve-replay plays the native staged folder, whose res/ and tiles/
        # are made from the same sources as the page's package.
        run = Run(**dict(vars(args), url=server.url + "index.html", web=web, work=work, report=report,
                         replay=os.path.join(build, "delve-replay"), game=os.path.join(build, "game")))
        run_groups(run)
    except (Stop, subprocess.CalledProcessError) as error:
        report.fail(str(error))
    finally:
        if server:
            server.stop()
        status = report.summary()
        if args.keep or status:
            print("web-e2e: kept %s" % work, flush=True)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
