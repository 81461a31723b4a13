"""A WebDriver BiDi client over one websocket (python3-websocket): commands
answered in order of their ids, events kept until asked for.

Firefox's endpoint refuses a handshake that carries an Origin header, so
the connection is made without one."""

import itertools
import json
import time

from e2e.report import Stop


class BidiError(Exception):
    """A command the browser answered with an error."""


class Bidi:
    def __init__(self, url, timeout=30.0):
        import websocket
        self._socket = websocket.create_connection(url, timeout=timeout, suppress_origin=True)
        self._ids = itertools.count(1)
        self.events = []

    def command(self, method, params=None, timeout=60.0):
        """Sends one command and returns its result; events that come
        before the answer are kept in `events`."""
        import websocket
        number = next(self._ids)
        self._socket.send(json.dumps({"id": number, "method": method, "params": params or {}}))
        end = time.monotonic() + timeout
        while True:
            left = end - time.monotonic()
            if left <= 0:
                raise Stop("%s: no answer from the browser within %.0f s" % (method, timeout))
            self._socket.settimeout(left)
            try:
                message = json.loads(self._socket.recv())
            except websocket.WebSocketTimeoutException:
                continue
            if message.get("type") == "event" or ("method" in message and "id" not in message):
                self.events.append(message)
            elif message.get("id") == number:
                if message.get("type") == "error" or "error" in message:
                    raise BidiError("%s: %s: %s" % (method, message.get("error"), message.get("message")))
                return message.get("result", {})

    def take_events(self, method):
        """The events of `method` received so far, which are then forgotten."""
        taken = [e for e in self.events if e.get("method") == method]
        self.events = [e for e in self.events if e.get("method") != method]
        return taken

    def close(self):
        try:
            self._socket.close()
        except OSError:
            pass
