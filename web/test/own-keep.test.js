import { test } from 'node:test';
import assert from 'node:assert/strict';
import { IDBFactory, IDBObjectStore } from 'fake-indexeddb';
import { createOwnKeep } from '../js/own-keep.js';

const blob = (...bytes) => new Blob([new Uint8Array(bytes)]);
const bytes = async (b) => Array.from(new Uint8Array(await b.arrayBuffer()));

/** Runs `body` with object stores that refuse what `refuses(value)` says, as WebKit refuses Blobs. */
async function refusing(refuses, body) {
  const put = IDBObjectStore.prototype.put;
  IDBObjectStore.prototype.put = function (value, key) {
    if (refuses(value)) throw new DOMException('Error preparing Blob/File data to be stored in object store', 'UnknownError');
    return put.call(this, value, key);
  };
  try { await body(); } finally { IDBObjectStore.prototype.put = put; }
}
const holdsBlob = (value) => JSON.stringify(value, (k, v) => (v instanceof Blob ? 'BLOB' : v)).includes('BLOB');

test('a browser that refuses Blobs is given the bytes, and zips and folders come back whole as Blobs', async () => {
  const indexedDB = new IDBFactory();
  const keep = createOwnKeep(() => indexedDB);
  await refusing(holdsBlob, async () => {
    await keep.put({ kind: 'zip', name: 'Quest.zip', files: [blob(80, 75, 3, 4)] });
    const zip = await keep.get();
    assert.equal(zip.kind, 'zip');
    assert.equal(zip.name, 'Quest.zip');
    assert.ok(zip.files[0] instanceof Blob);
    assert.deepEqual(await bytes(zip.files[0]), [80, 75, 3, 4]);
    assert.equal(zip.files[0].slice(1, 3).size, 2, 'read in slices as a chosen file is');

    await keep.put({ kind: 'folder', name: 'Quest',
                     files: [{ path: 'Quest/res/a.dat', file: blob(1) }, { path: 'Quest/tiles/b.til', file: blob() }] });
    const folder = await keep.get();
    assert.deepEqual(folder.files.map((f) => f.path), ['Quest/res/a.dat', 'Quest/tiles/b.til']);
    assert.deepEqual(await bytes(folder.files[0].file), [1]);
    assert.equal(folder.files[1].file.size, 0);

    // A dungeon link's files stay a link's, not a zip's or a folder's.
    await keep.put({ kind: 'link', name: 'shared dungeon 0badf00d', files: [blob(100, 101)] });
    const link = await keep.get();
    assert.deepEqual([link.kind, link.name], ['link', 'shared dungeon 0badf00d']);
    assert.deepEqual(await bytes(link.files[0]), [100, 101]);
  });
});

test('Blobs are kept as Blobs where the browser takes them, as the page kept them before', async () => {
  const indexedDB = new IDBFactory();
  const keep = createOwnKeep(() => indexedDB);
  const file = blob(9, 8, 7);
  let kept = null;
  await refusing((value) => { kept = value; return false; }, () => keep.put({ kind: 'zip', name: 'a.zip', files: [file] }));
  assert.strictEqual(kept.files[0], file, 'the chosen file itself, not read into memory');
  assert.deepEqual(await bytes((await keep.get()).files[0]), [9, 8, 7]);
  await keep.forget();
  assert.equal(await keep.get(), undefined);
});

test('a browser that keeps neither is a refusal the player is told of, and nothing is kept', async () => {
  const indexedDB = new IDBFactory();
  const keep = createOwnKeep(() => indexedDB);
  await refusing(() => true, async () => {
    await assert.rejects(keep.put({ kind: 'zip', name: 'a.zip', files: [blob(1)] }), /Blob\/File/);
  });
  assert.equal(await keep.get(), undefined);
});
