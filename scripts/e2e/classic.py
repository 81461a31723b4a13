"""The two engines driven through classic WebDriver with selenium: headless
Chromium (chromedriver) and WebKitGTK (WebKitWebDriver and its MiniBrowser,
on a virtual display of its own)."""

import atexit
import os
import select
import subprocess
import time

from e2e import browser
from e2e.browser import Unsupported
from e2e.report import Stop

# Keys the page's checks type that WebDriver names with its own code points.
NAMED_KEYS = {" ": "\ue00d", "\r": "\ue007", "\x1b": "\ue00c", "\b": "\ue003"}

# The middle of an element, scrolled into view, in CSS pixels of the viewport.
ELEMENT_MIDDLE = """
    var el = document.querySelector(arguments[0]);
    if (!el) return null;
    el.scrollIntoView({block: 'nearest', inline: 'nearest'});
    var r = el.getBoundingClientRect();
    return [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)];"""


class SeleniumBrowser(browser.Browser):
    def execute_script(self, script, *args):
        return self.driver.execute_script(script, *args)

    def execute_async_script(self, script, *args):
        return self.driver.execute_async_script(script, *args)

    def open(self, url):
        self.driver.get(url)

    @property
    def url(self):
        return self.driver.current_url

    def keys(self, text):
        from selenium.webdriver.common.action_chains import ActionChains
        chain = ActionChains(self.driver)
        for key in text:
            chain.send_keys(NAMED_KEYS.get(key, key))
        chain.perform()

    def element_middle(self, css):
        at = self.execute_script(ELEMENT_MIDDLE, css)
        if at is None:
            raise Stop("no element %s to click" % css)
        return at

    def click(self, css):
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        x, y = self.element_middle(css)
        actions = ActionBuilder(self.driver)
        actions.pointer_action.move_to_location(x, y).click()
        actions.perform()

    def set_viewport(self, width, height):
        """The window made the size that gives the page this viewport (the
        window's own frame and bars measured first)."""
        outer = self.execute_script("return [outerWidth - innerWidth, outerHeight - innerHeight];")
        self.driver.set_window_size(width + outer[0], height + outer[1])

    def phone(self, width, height):
        """A phone's screen is, to WebKitGTK, a window of that size; its
        window has a least width, and a page narrower cannot be had."""
        self.set_viewport(width, height)
        got = self.execute_script("return [innerWidth, innerHeight];")
        if got != [width, height]:
            raise Unsupported("%s's window comes to %dx%d when asked for a viewport of %dx%d"
                              % (self.name, got[0], got[1], width, height))

    def new_tab(self):
        self.driver.switch_to.new_window("tab")
        return self.driver.current_window_handle

    @property
    def tab(self):
        return self.driver.current_window_handle

    def switch_to(self, tab):
        self.driver.switch_to.window(tab)

    def close_tab(self):
        self.driver.close()

    def choose_file(self, css, path):
        from selenium.webdriver.common.by import By
        self.driver.find_element(By.CSS_SELECTOR, css).send_keys(path)

    def quit(self):
        self.driver.quit()


class Chromium(SeleniumBrowser):
    name = "chromium"

    def __init__(self, profile, width, height):
        super().__init__(profile, width, height)
        self.driver = browser.start_browser(profile, width, height)
        self.version = self.driver.capabilities.get("browserVersion", "")

    def tap(self, x, y):
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": [{"x": x, "y": y}]})
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})

    def phone(self, width, height):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                    {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": True})

    def console_errors(self):
        return browser.console_errors(self.driver)


class _Display:
    """One Xvfb for every WebKit browser of this process, started with the
    first and ended with the process."""
    name = None
    process = None

    @classmethod
    def get(cls):
        if cls.process and cls.process.poll() is None:
            return cls.name
        reader, writer = os.pipe()
        cls.process = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1600x1200x24",
                                        "-nolisten", "tcp", "-noreset"], pass_fds=(writer,),
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(writer)
        number, end = b"", time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < end:
            if select.select([reader], [], [], 0.1)[0]:
                chunk = os.read(reader, 16)
                if not chunk:
                    break
                number += chunk
        os.close(reader)
        if not number.strip():
            cls.process.kill()
            raise Stop("Xvfb did not start for WebKit")
        cls.name = ":" + number.decode().strip()
        atexit.register(cls.stop)
        return cls.name

    @classmethod
    def stop(cls):
        if cls.process and cls.process.poll() is None:
            cls.process.terminate()
            cls.process.wait()


class WebKit(SeleniumBrowser):
    """MiniBrowser in automation mode. Its profile is where WebKitGTK keeps
    a user's data: the XDG folders, pointed into the profile folder."""
    name = "webkit"

    def __init__(self, profile, width, height):
        super().__init__(profile, width, height)
        from selenium import webdriver
        from selenium.webdriver.remote.remote_connection import RemoteConnection
        from selenium.webdriver.remote.webdriver import WebDriver
        from selenium.webdriver.webkitgtk.service import Service
        env = dict(os.environ, DISPLAY=_Display.get(), HOME=profile,
                   XDG_DATA_HOME=os.path.join(profile, "data"), XDG_CACHE_HOME=os.path.join(profile, "cache"),
                   XDG_CONFIG_HOME=os.path.join(profile, "config"))
        env.pop("WAYLAND_DISPLAY", None)
        options = webdriver.WebKitGTKOptions()
        options.binary_location = browser.MINIBROWSER
        options.add_argument("--automation")
        self.service = Service(browser.WEBKIT_DRIVER, env=env,
                               log_path=os.path.join(profile, "webkitwebdriver.log"))
        self.service.start()
        # A command the browser never answers (input to a view that is not
        # shown waits for it) fails after this long instead of holding the run.
        RemoteConnection.set_timeout(120)
        try:
            self.driver = WebDriver(command_executor=self.service.service_url, options=options)
            self.driver._is_remote = False  # files to choose are on this machine: named, not uploaded
        except Exception:
            self.service.stop()
            raise
        finally:
            RemoteConnection.reset_timeout()
        self.version = self.driver.capabilities.get("browserVersion", "")
        self.set_viewport(width, height)

    def tap(self, x, y):
        raise Unsupported("WebKitGTK's WebDriver turns a touch into the mouse's events")

    def new_tab(self):
        """A window: a tab the driver opens stays in the background, hidden,
        where it draws nothing and input to it is never answered."""
        self.driver.switch_to.new_window("window")
        return self.driver.current_window_handle

    def restart(self):
        raise Unsupported("MiniBrowser in automation mode keeps a site's data in memory only, whatever its "
                          "folders: nothing outlives the browser")

    def quit(self):
        try:
            self.driver.quit()
        except Exception:  # the driver already gone (the run ended from outside): its service still stops
            pass
        self.service.stop()
