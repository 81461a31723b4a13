"""Firefox ESR driven through its own WebDriver BiDi endpoint (Debian has
no geckodriver): started headless on a profile folder, which is all its
state, so the same folder started again is the same browser restarted."""

import json
import os
import re
import subprocess

from e2e import browser
from e2e.bidi import Bidi, BidiError
from e2e.report import Stop, wait_until

# Nothing that reaches for the network on its own, nor asks anything at the
# first start; a remote agent sets most of the rest itself.
PREFS = {
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "browser.aboutwelcome.enabled": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "app.update.disabledForTesting": True,
    "app.normandy.enabled": False,
    "browser.safebrowsing.update.enabled": False,
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "extensions.update.enabled": False,
    "services.settings.server": "http://127.0.0.1:9/",
    "browser.region.network.url": "",
    "browser.sessionstore.resume_from_crash": False,
}

KEYS = {"\r": "\ue007", "\x1b": "\ue00c", "\b": "\ue003"}

# Runs a function body on JSON arguments; its result (awaited) as JSON, so
# that what comes back is what selenium's execute_script gives. The body is
# put in the declaration's text: the page's realm may refuse eval.
CALL = """function (args) {
  return Promise.resolve((function () {
%s
  }).apply(window, JSON.parse(args))).then(function (value) {
    return JSON.stringify(value === undefined ? null : value);
  });
}"""


class Firefox(browser.Browser):
    name = "firefox"

    def __init__(self, profile, width, height):
        super().__init__(profile, width, height)
        with open(os.path.join(profile, "user.js"), "w") as out:
            for key, value in PREFS.items():
                out.write("user_pref(%s, %s);\n" % (json.dumps(key), json.dumps(value)))
        self.log_path = os.path.join(profile, "firefox.log")
        log = open(self.log_path, "ab")
        started = os.path.getsize(self.log_path)
        # Port 0: Firefox picks a free one and says which.
        self.process = subprocess.Popen([browser.FIREFOX, "--headless", "--no-remote", "--profile", profile,
                                         "--remote-debugging-port", "0", "--remote-allow-hosts", "127.0.0.1",
                                         "about:blank"],
                                        stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        try:
            url = wait_until(lambda: self._endpoint(started), "Firefox's BiDi endpoint", 60, 0.1)
            self.bidi = Bidi(url + "/session")
            session = self.bidi.command("session.new", {"capabilities": {}})
            self.version = session["capabilities"].get("browserVersion", "")
            tree = self.bidi.command("browsingContext.getTree", {"maxDepth": 0})
            self.context = tree["contexts"][0]["context"]
            self.bidi.command("session.subscribe", {"events": ["log.entryAdded"]})
            self.set_viewport(width, height)
        except Exception:
            self._end(asked=False)
            raise

    def _endpoint(self, since):
        if self.process.poll() is not None:
            raise Stop("firefox-esr ended at once (see %s)" % self.log_path)
        with open(self.log_path, errors="replace") as f:
            f.seek(since)
            found = re.search(r"WebDriver BiDi listening on (ws://[0-9.:]+)", f.read())
        return found.group(1) if found else None

    def execute_script(self, script, *args):
        result = self.bidi.command("script.callFunction", {
            "functionDeclaration": CALL % script, "awaitPromise": True, "target": {"context": self.context},
            "arguments": [{"type": "string", "value": json.dumps(args)}],
            "resultOwnership": "none"})
        if result.get("type") == "exception":
            details = result.get("exceptionDetails", {})
            raise BidiError("script: %s" % details.get("text", details))
        return json.loads(result["result"]["value"])

    def execute_async_script(self, script, *args):
        """As selenium's: the body is handed a callback as its last argument."""
        return self.execute_script("var args = Array.prototype.slice.call(arguments), body = function () {\n%s\n};"
                                   " return new Promise(function (done) { body.apply(window, args.concat([done])); });"
                                   % script, *args)

    def open(self, url):
        self.bidi.command("browsingContext.navigate", {"context": self.context, "url": url, "wait": "complete"})

    @property
    def url(self):
        return self.execute_script("return location.href;")

    def keys(self, text):
        actions = []
        for key in text:
            value = KEYS.get(key, key)
            actions += [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]
        self._perform([{"type": "key", "id": "keyboard", "actions": actions}])

    def _perform(self, actions):
        self.bidi.command("input.performActions", {"context": self.context, "actions": actions})
        self.bidi.command("input.releaseActions", {"context": self.context})

    def _pointer(self, kind, x, y):
        self._perform([{"type": "pointer", "id": kind, "parameters": {"pointerType": kind}, "actions": [
            {"type": "pointerMove", "x": int(x), "y": int(y)},
            {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]}])

    def click(self, css):
        from e2e.classic import ELEMENT_MIDDLE
        at = self.execute_script(ELEMENT_MIDDLE, css)
        if at is None:
            raise Stop("no element %s to click" % css)
        self._pointer("mouse", *at)

    def tap(self, x, y):
        self._pointer("touch", x, y)

    def set_viewport(self, width, height):
        self.bidi.command("browsingContext.setViewport", {"context": self.context,
                                                           "viewport": {"width": width, "height": height}})

    def phone(self, width, height):
        self.set_viewport(width, height)

    def new_tab(self):
        self.context = self.bidi.command("browsingContext.create", {"type": "tab"})["context"]
        return self.context

    @property
    def tab(self):
        return self.context

    def switch_to(self, tab):
        self.bidi.command("browsingContext.activate", {"context": tab})
        self.context = tab

    def close_tab(self):
        self.bidi.command("browsingContext.close", {"context": self.context})

    def choose_file(self, css, path):
        found = self.bidi.command("script.evaluate", {
            "expression": "document.querySelector(%s)" % json.dumps(css), "awaitPromise": False,
            "target": {"context": self.context}, "resultOwnership": "root"})
        element = found.get("result", {})
        if element.get("type") != "node":
            raise Stop("no element %s to choose a file with" % css)
        self.bidi.command("input.setFiles", {"context": self.context, "element": {"sharedId": element["sharedId"]},
                                             "files": [path]})

    def console_errors(self):
        self.bidi.command("session.status")  # the events sent before it are in
        return [e["params"].get("text", "") for e in self.bidi.take_events("log.entryAdded")
                if e["params"].get("level") == "error"]

    def quit(self):
        try:
            self.bidi.command("browser.close", timeout=30)
        except Exception:  # the socket may close before the answer comes
            pass
        self._end()

    def _end(self, asked=True):
        if getattr(self, "bidi", None):
            self.bidi.close()
        try:
            self.process.wait(30 if asked else 0.1)
        except subprocess.TimeoutExpired:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
