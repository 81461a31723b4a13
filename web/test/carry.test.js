import { test } from 'node:test';
import assert from 'node:assert/strict';
import { IDBFactory } from 'fake-indexeddb';
import { createCarry } from '../js/carry.js';

/** sessionStorage as browsers keep it: a few megabytes of text at most. */
function session(limit = 5 * 1024 * 1024) {
  const items = new Map();
  return {
    getItem: (key) => (items.has(key) ? items.get(key) : null),
    setItem(key, value) {
      if (String(value).length > limit) throw new DOMException('the quota has been exceeded', 'QuotaExceededError');
      items.set(key, String(value));
    },
    removeItem: (key) => items.delete(key),
    items,
  };
}

test('a recording far larger than sessionStorage holds is carried over a reload whole, once', async () => {
  const indexedDB = new IDBFactory();
  const storage = session();
  const recording = new Uint8Array(12 * 1024 * 1024).map((_, i) => 32 + (i % 90));
  await createCarry({ indexedDB: () => indexedDB, session: storage }).put({ action: 'watch-file', name: 'long.rec', bytes: recording });
  const after = createCarry({ indexedDB: () => indexedDB, session: storage });  // the page loaded again
  const next = await after.take();
  assert.equal(next.name, 'long.rec');
  assert.deepEqual(next.bytes, recording);
  assert.equal(await after.take(), null, 'taken once, it is gone');
});

test('the other choices go through sessionStorage alone', async () => {
  const storage = session();
  const carry = createCarry({ indexedDB: () => undefined, session: storage });
  await carry.put({ action: 'continue', id: 42 });
  assert.deepEqual(await carry.take(), { action: 'continue', id: 42 });
});

test('a recording the browser will not keep is refused before the reload, and nothing half kept', async () => {
  const storage = session();
  const carry = createCarry({ indexedDB: () => undefined, session: storage });
  await assert.rejects(carry.put({ action: 'watch-file', name: 'a.rec', bytes: new Uint8Array(3) }), /no storage/);
  assert.equal(storage.items.size, 0);
  storage.setItem('delve-next', '{"action":"watch-file","name":"a.rec"}');  // its recording is gone
  assert.equal(await carry.take(), null);
});
