// Delve's service worker: keeps the page's files so that the game opens and
// plays without a network once it has been opened.
//
// One version of the page is one cache, named after a digest of all its files
// that the build writes into this file (web/page_version.cmake): SHA-256 over
// the lines "<SHA-256 of the file> <name>", one per file in the order below.
// Any change to any file changes this worker, so the browser installs it as a
// new one. It fetches every file afresh, checks the digest of what came and
// only then fills its cache: files of two versions (a server half way through
// an update) fail the check and the old version stays. When the new worker
// takes over, the old cache goes in one step.
'use strict';

var VERSION = '@DELVE_PAGE_DIGEST@';
var FILES = [@DELVE_PAGE_FILES@];
var CACHE = 'delve-page-' + VERSION;

function hex(buffer) {
  return Array.prototype.map.call(new Uint8Array(buffer), function (b) {
    return (b + 256).toString(16).slice(1);
  }).join('');
}

function sha256(bytes) {
  return crypto.subtle.digest('SHA-256', bytes).then(hex);
}

function fetchFile(name) {
  return fetch(new Request(name, { cache: 'reload' })).then(function (response) {
    if (!response.ok) throw new Error(name + ': ' + response.status + ' ' + response.statusText);
    var type = response.headers.get('Content-Type') || 'application/octet-stream';
    return response.arrayBuffer().then(function (bytes) {
      return sha256(bytes).then(function (sum) { return { name: name, type: type, bytes: bytes, sum: sum }; });
    });
  });
}

function keepThisVersion() {
  return Promise.all(FILES.map(fetchFile)).then(function (files) {
    var lines = files.map(function (file) { return file.sum + ' ' + file.name + '\n'; }).join('');
    return sha256(new TextEncoder().encode(lines)).then(function (sum) {
      if (sum !== VERSION) throw new Error('the files served are not all of version ' + VERSION);
      return caches.open(CACHE);
    }).then(function (cache) {
      return Promise.all(files.map(function (file) {
        var headers = { 'Content-Type': file.type, 'Content-Length': String(file.bytes.byteLength) };
        return cache.put(file.name, new Response(file.bytes, { headers: headers }));
      }));
    });
  }).catch(function (error) {
    // Nothing half kept: the next visit tries again.
    return caches.delete(CACHE).then(function () { throw error; });
  });
}

self.addEventListener('install', function (event) {
  event.waitUntil(keepThisVersion().then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) {
      return name.indexOf('delve-page-') === 0 && name !== CACHE;
    }).map(function (name) { return caches.delete(name); }));
  }).then(function () { return self.clients.claim(); }));
});

// The page's own files come from this version's cache (a seed in the address
// makes no difference); anything else, and a file the cache lost, from the
// network.
self.addEventListener('fetch', function (event) {
  var request = event.request;
  if (request.method !== 'GET') return;
  var url = new URL(request.url);
  var scope = new URL(self.registration.scope);
  if (url.origin !== scope.origin || url.pathname.indexOf(scope.pathname) !== 0) return;
  var name = url.pathname.slice(scope.pathname.length) || 'index.html';
  if (FILES.indexOf(name) < 0) return;
  event.respondWith(caches.open(CACHE).then(function (cache) {
    return cache.match(name);
  }).then(function (kept) {
    return kept || fetch(request);
  }));
});
