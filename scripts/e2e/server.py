"""A folder served over HTTP on 127.0.0.1, from a thread of this process.

It can be stopped (the network gone, as far as a page is concerned) and
started again on the same port, so that a browser sees the same origin."""

import functools
import http.server
import threading


class _Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *_):
        pass


class StaticServer:
    def __init__(self, folder, port=0):
        self.folder = folder
        self.port = port  # 0: the system picks a free one at the first start
        self._server = None

    @property
    def url(self):
        """The folder's address, ending in a slash."""
        return "http://127.0.0.1:%d/" % self.port

    def start(self):
        if self._server:
            return self
        handler = functools.partial(_Quiet, directory=self.folder)
        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), handler)
        self._server.daemon_threads = True
        self.port = self._server.server_address[1]
        threading.Thread(target=self._server.serve_forever, daemon=True).start()
        return self

    def stop(self):
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._server = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *_):
        self.stop()
