import { test } from 'node:test';
import assert from 'node:assert/strict';
import { instantiateWithProgress } from '../js/fetch-progress.js';

// The smallest program: a module exporting a function that answers 42.
const MODULE = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 127, 3, 2, 1, 0, 7, 8, 1, 4,
                               97, 110, 115, 119, 0, 0, 10, 6, 1, 4, 0, 65, 42, 11]);

/**
 * fetch answering with `bytes` in pieces of `piece` bytes, as a server would.
 * @param {Uint8Array} bytes @param {number} piece @param {Record<string, string>} headers
 */
function serving(bytes, piece, headers) {
  return async () => new Response(new ReadableStream({
    start(controller) {
      for (let at = 0; at < bytes.length; at += piece) controller.enqueue(bytes.slice(at, at + piece));
      controller.close();
    },
  }), { headers });
}

/** @param {() => Promise<Response>} fetch @param {() => Promise<void>} body */
async function withFetch(fetch, body) {
  const original = globalThis.fetch;
  globalThis.fetch = /** @type {any} */ (fetch);
  try {
    await body();
  } finally {
    globalThis.fetch = original;
  }
}

test('the program compiles as it comes whatever type the server gives it, its progress told', async () => {
  for (const type of ['application/octet-stream', 'text/plain', '']) {
    /** @type {number[][]} */
    const told = [];
    await withFetch(serving(MODULE, 10, { 'Content-Type': type, 'Content-Length': String(MODULE.length) }), async () => {
      const { instance } = await instantiateWithProgress('delve.wasm', {}, (loaded, total) => told.push([loaded, total]));
      assert.equal(/** @type {any} */ (instance.exports).answ(), 42);
    });
    assert.deepEqual(told, [[10, 37], [20, 37], [30, 37], [37, 37]], type);
  }
});

test('without a length the total is what has come; a refusal or a broken program fails the load', async () => {
  /** @type {number[][]} */
  const told = [];
  await withFetch(serving(MODULE, 20, {}), async () => {
    await instantiateWithProgress('delve.wasm', {}, (loaded, total) => told.push([loaded, total]));
  });
  assert.deepEqual(told, [[20, 20], [37, 37]]);
  await withFetch(async () => new Response('gone', { status: 404, statusText: 'Not Found' }), async () => {
    await assert.rejects(instantiateWithProgress('delve.wasm', {}, () => {}), /404 Not Found/);
  });
  await withFetch(serving(MODULE.slice(0, 30), 8, {}), async () => {
    await assert.rejects(instantiateWithProgress('delve.wasm', {}, () => {}), WebAssembly.CompileError);
  });
});
