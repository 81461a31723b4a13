"""Kept games on a page served over plain HTTP from a name other than this
machine's own: the browser takes it for an insecure page and gives it no
lock manager (navigator.locks), so a claim in the storage holds a game. A
second tab is refused the game the first plays, in the words it has on
localhost; a killed tab's claim goes stale, and a closed tab's goes at once,
so the game can be continued."""

import tempfile

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By

from e2e.browser import js, start_browser
from e2e.web.common import compare_with_replay, open_page, press_all, settle, wait_for
from e2e.web.kept_store import wait_for_kept

HOST = "delve.test"
REFUSED = "open in another page"
# A page whose clock runs this far ahead sees every claim made before as stale.
LATER = """(function () { var now = Date.now; Date.now = function () { return now() + 3 * 60 * 1000; }; })();"""


def tab(driver, url):
    """A new tab on the page, at the choice to continue."""
    driver.switch_to.new_window("tab")
    driver.get(url)
    wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice to continue in a new tab")
    return driver.current_window_handle


def choose_continue(driver):
    """Continue; the page's state and note once it has answered."""
    js(driver, "document.getElementById('note').textContent = '';")
    driver.find_element(By.ID, "choose-continue").click()
    wait_for(driver, "Delve.state === 'running' || /%s/.test(document.getElementById('note').textContent)" % REFUSED,
             "the answer to Continue", 15)
    if js(driver, "return Delve.state === 'running';"):
        settle(driver)
    return js(driver, "return Delve.state;"), driver.find_element(By.ID, "note").text


def check_kept_without_locks(run):
    url = run.url.replace("127.0.0.1", HOST)
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-nolocks-", dir=run.work),
                           flags=["--host-resolver-rules=MAP %s 127.0.0.1" % HOST])
    try:
        open_page(driver, url + "?seed=%d" % run.seed, "served from " + HOST)
        has = js(driver, "return { secure: isSecureContext, locks: !!navigator.locks, indexedDB: !!window.indexedDB,"
                         " broadcast: typeof BroadcastChannel === 'function',"
                         " compression: typeof CompressionStream === 'function',"
                         " worker: 'serviceWorker' in navigator };")
        run.report.check(not has["secure"] and not has["locks"] and has["indexedDB"],
                         "served from %s the page is insecure, without a lock manager (%s)" % (HOST, has),
                         "served from %s the page has %s: the check needs an insecure page" % (HOST, has))
        keys = run.keys
        press_all(driver, keys)
        wait_for_kept(driver, 0, "the game played in the first tab")
        first = driver.current_window_handle

        second = tab(driver, url)
        state, note = choose_continue(driver)
        run.report.check(state == "choosing" and REFUSED in note,
                         "a second tab is refused the game the first plays: \"%s\"" % note,
                         "a second tab continuing the first one's game: %s, note %r" % (state, note))

        # The first tab killed: it says nothing as it goes, so its claim
        # stands until it is stale.
        driver.switch_to.window(first)
        try:
            driver.execute_cdp_cmd("Page.crash", {})
        except WebDriverException:
            pass  # the tab is gone before it answers
        driver.switch_to.window(second)
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice after the first tab was killed")
        state, note = choose_continue(driver)
        run.report.check(state == "choosing" and REFUSED in note,
                         "just after the first tab is killed, its game is still refused",
                         "just after the first tab is killed: %s, note %r" % (state, note))
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": LATER})
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice, minutes later")
        state, note = choose_continue(driver)
        more = "2486"
        if state == "running":
            press_all(driver, more)
            wait_for_kept(driver, 0, "the game continued")
        run.report.check(state == "running",
                         "minutes after the first tab was killed its claim is stale: the game continues",
                         "minutes after the first tab was killed: %s, note %r" % (state, note))
        if state == "running":
            compare_with_replay(run, driver, keys + more, run.seed, "continued without locks")

        # A tab closed lets go of its game as it goes.
        tab(driver, url)
        driver.switch_to.window(second)
        driver.close()
        third = [handle for handle in driver.window_handles if handle not in (first, second)][0]
        driver.switch_to.window(third)
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.state === 'choosing'", "the choice after the tab closed")
        state, note = choose_continue(driver)
        run.report.check(state == "running", "once the tab playing it is closed, the game continues in another at once",
                         "after the tab playing it closed: %s, note %r" % (state, note))
    finally:
        driver.quit()
