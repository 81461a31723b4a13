"""The page as an app, in a browser of its own on a copy of the page served
here: installable, playing with the server stopped and the network cut
after one visit, a new version kept whole and a mix of versions refused."""

import hashlib
import os
import re
import shutil
import subprocess
import tempfile

from e2e.browser import js, start_browser
from e2e.report import Stop, wait_until
from e2e.server import StaticServer
from e2e.web.common import SOURCE_ROOT, check_console, compare_with_replay, open_page, press_all, wait_for


def page_files(folder):
    """The files the page's worker keeps, as its sw.js lists them."""
    with open(os.path.join(folder, "sw.js")) as f:
        return re.findall(r"'([^']+)'", re.search(r"var FILES = \[(.*)\];", f.read()).group(1))


def new_page_version(folder, marker):
    """Changes index.html and delve.js in a copy of the page (a comment each)
    and writes its sw.js again, as a build of a new version would."""
    with open(os.path.join(folder, "index.html"), "a") as out:
        out.write("<!-- %s -->\n" % marker)
    with open(os.path.join(folder, "delve.js"), "a") as out:
        out.write("\n// %s\n" % marker)
    names = page_files(folder)
    subprocess.run(["cmake", "-DDIR=" + folder, "-DTEMPLATE=" + os.path.join(SOURCE_ROOT, "web", "sw.js"),
                    "-DFILES=" + ",".join(names), "-P", os.path.join(SOURCE_ROOT, "web", "page_version.cmake")],
                   check=True)
    with open(os.path.join(folder, "sw.js")) as f:
        return re.search(r"var VERSION = '([0-9a-f]+)';", f.read()).group(1)


def kept_files(driver):
    """The page's caches: {cache name: {file: SHA-256 of what it keeps}}."""
    return driver.execute_async_script("""
        var done = arguments[arguments.length - 1];
        function hex(b) { return Array.from(new Uint8Array(b), function (x) { return (x + 256).toString(16).slice(1); }).join(''); }
        caches.keys().then(function (names) {
          return Promise.all(names.map(function (name) {
            return caches.open(name).then(function (cache) { return cache.keys(); }).then(function (requests) {
              return Promise.all(requests.map(function (request) {
                return caches.open(name).then(function (c) { return c.match(request); })
                  .then(function (r) { return r.arrayBuffer(); })
                  .then(function (b) { return crypto.subtle.digest('SHA-256', b); })
                  .then(function (sum) { return [new URL(request.url).pathname.split('/').pop(), hex(sum)]; });
              }));
            }).then(function (files) { return [name, Object.fromEntries(files)]; });
          }));
        }).then(function (all) { done(Object.fromEntries(all)); }, function (e) { done(String(e)); });""")


def files_on_disk(folder, names):
    result = {}
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            result[name] = hashlib.sha256(f.read()).hexdigest()
    return result


def wait_for_version(driver, version, what, timeout=60.0):
    """Waits until the page is controlled by an active worker and its only
    cache is the one of `version`. The worker is asked first: a first
    visit's cache exists, half filled, while its worker installs, and only
    an activated worker has filled it whole."""
    last = [None]

    def kept_alone():
        active = js(driver, "var w = navigator.serviceWorker.controller; return !!w && w.state === 'activated';")
        last[0] = kept_files(driver) if active else None
        if isinstance(last[0], dict) and list(last[0]) == ["delve-page-" + version]:
            return last[0]["delve-page-" + version]
        return None
    try:
        return wait_until(kept_alone, what, timeout, 0.2)
    except Stop:
        kept = last[0]
        raise Stop("%s: the page does not keep version %s alone (caches: %s)"
                   % (what, version[:12], list(kept) if isinstance(kept, dict) else kept))


def play_seed_link(run, driver, url, name):
    open_page(driver, url + "?seed=%d" % run.seed, name)
    press_all(driver, run.keys)
    compare_with_replay(run, driver, run.keys, run.seed, name)


def check_app(run):
    """In a browser of its own, on a copy of the page served here: Chromium
    finds the page installable, keeps it after one visit and plays it with the
    server stopped and the network cut; a new version is taken whole, and a
    server holding a mix of two versions changes nothing."""
    folder = os.path.join(run.work, "app-site")
    shutil.copytree(run.web, folder)
    with open(os.path.join(folder, "sw.js")) as f:
        version = re.search(r"var VERSION = '([0-9a-f]+)';", f.read()).group(1)
    site = StaticServer(folder)
    site.start()
    url = site.url
    driver = start_browser(tempfile.mkdtemp(prefix="chromium-app-", dir=run.work))
    driver.set_script_timeout(20)
    try:
        driver.get(url)
        wait_for(driver, "window.Delve && Delve.state === 'running'", "the page (app)")
        kept = wait_for_version(driver, version, "the first visit")
        names = page_files(folder)
        run.report.check(kept == files_on_disk(folder, names),
                         "after one visit the page keeps version %s: %s" % (version[:12], ", ".join(names)),
                         "after one visit the kept files differ from the served ones: %s" % kept)
        errors = driver.execute_cdp_cmd("Page.getInstallabilityErrors", {}).get("installabilityErrors")
        run.report.check(errors == [], "Chromium finds the page installable (no installability errors)",
                         "installability errors: %s" % errors)
        manifest = driver.execute_cdp_cmd("Page.getAppManifest", {})
        icons = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            Promise.all(['icon-192.png', 'icon-512.png'].map(function (name) {
              return fetch(name).then(function (r) { return r.blob(); }).then(createImageBitmap)
                .then(function (image) { return [image.width, image.height]; });
            })).then(done, function (e) { done(String(e)); });""")
        run.report.check(not manifest.get("errors") and icons == [[192, 192], [512, 512]],
                         "the manifest reads without errors and its icons load at 192 and 512 pixels",
                         "manifest errors %s, icons %s" % (manifest.get("errors"), icons))

        # The network gone: the server stopped and the browser offline.
        site.stop()
        driver.execute_cdp_cmd("Network.enable", {})
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        play_seed_link(run, driver, url, "offline")
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": False, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})

        # A new version on the server: the next visit finds it, the worker keeps
        # it whole, and the visit after plays it.
        second = new_page_version(folder, "a new version")
        site.start()
        driver.get(url)
        # A game is kept from the first visit: the page may offer to continue it.
        wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page (new version served)")
        kept = wait_for_version(driver, second, "the new version")
        run.report.check(kept == files_on_disk(folder, names),
                         "a new version served is kept whole (%s replaces %s, no file of the old one kept)"
                         % (second[:12], version[:12]),
                         "the new version's kept files differ from the served ones: %s" % kept)
        driver.get(url)
        wait_for(driver, "window.Delve && /running|choosing/.test(Delve.state)", "the page (new version)")
        # The marker is a comment after </html>: the document's own child.
        marked = js(driver, "return Array.from(document.childNodes).some(function (node) {"
                            "  return node.nodeType === Node.COMMENT_NODE && node.nodeValue.indexOf('a new version') >= 0; });")
        run.report.check(marked, "the next visit is the new version's page", "the next visit is still the old page")

        # A server half way through an update (a new index.html, the old
        # delve.js) is no version: the worker keeps what it had.
        with open(os.path.join(folder, "delve.js"), "rb") as f:
            old_script = f.read()
        new_page_version(folder, "a third version")
        with open(os.path.join(folder, "delve.js"), "wb") as out:
            out.write(old_script)
        state = driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            navigator.serviceWorker.getRegistration().then(function (r) {
              return r.update().catch(function () {}).then(function () {
                var waited = 0;
                (function poll() {
                  if ((r.installing || r.waiting) && waited < 15000) { waited += 100; setTimeout(poll, 100); }
                  else done([r.active ? r.active.state : '', !!r.installing, !!r.waiting]);
                })();
              });
            });""")
        kept = kept_files(driver)
        run.report.check(state == ["activated", False, False] and list(kept) == ["delve-page-" + second],
                         "files of two versions on the server are refused: the page keeps version %s whole"
                         % second[:12],
                         "with a mix of versions served, worker %s and caches %s (version %s expected)"
                         % (state, list(kept) if isinstance(kept, dict) else kept, second[:12]))
        check_console(run, driver, "as an app")
    finally:
        driver.quit()
        site.stop()
