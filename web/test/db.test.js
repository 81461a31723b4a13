import { test } from 'node:test';
import assert from 'node:assert/strict';
import { IDBFactory } from 'fake-indexeddb';
import { asError, openDatabase, transact } from '../js/db.js';

const upgrade = (db) => { if (!db.objectStoreNames.contains('s')) db.createObjectStore('s'); };

test('a browser that refuses storage outright is a refusal with its reason, as any other', async () => {
  // A private window: reading window.indexedDB itself throws.
  const denied = () => { throw new DOMException('The user denied permission to access the database.', 'SecurityError'); };
  await assert.rejects(openDatabase(denied, 'd', 1, upgrade), /denied permission/);
  await assert.rejects(openDatabase(() => undefined, 'd', 1, upgrade), /no storage/);
});

test('a transaction that fails rejects, and what it wrote is undone', async () => {
  const factory = new IDBFactory();
  const db = await openDatabase(() => factory, 'd', 1, upgrade);
  await transact(db, ['s'], 'readwrite', (s) => { s.s.add('first', 1); });
  await assert.rejects(transact(db, ['s'], 'readwrite', (s) => {
    s.s.put('second', 2);
    s.s.add('again', 1);  // the key is taken: the whole transaction fails
  }), /ConstraintError|constraint/i);
  const all = await transact(db, ['s'], 'readonly', (s) => {
    const request = s.s.getAll();
    return () => request.result;
  });
  assert.deepEqual(all, ['first']);
  db.close();
  await assert.rejects(transact(db, ['s'], 'readonly', () => {}), /closed|InvalidStateError/i,
                       'a database closed under it (a newer page took the storage) is a refusal too');
});

test('a full disk is said in plain words, never with the paths of the browser\'s own files', () => {
  const cases = [
    [new DOMException('Quota exceeded.', 'QuotaExceededError'), 'it has no room left'],
    [new DOMException('IO error: /home/ann/.config/chromium/Default/IndexedDB/http_delve.test_8000.indexeddb.leveldb/'
                      + '000042.log: No space left on device (ChromeMethodBFE: 15::Append::8)', 'UnknownError'),
     'it has no room left'],
    [new DOMException('Internal error opening backing store for indexedDB.open: C:\\Users\\Ann\\AppData\\Local\\x.ldb',
                      'UnknownError'), 'its storage could not be written'],
    [{ name: 'UnknownError', message: 'Failed to write "/var/lib/profile/storage/default/idb/3.sqlite"' },
     'its storage could not be written'],
  ];
  for (const [error, said] of cases) assert.equal(asError(error).message, said);
  // Anything else keeps the browser's words, a link in them too.
  assert.equal(asError(new DOMException('Version change transaction was aborted.', 'AbortError')).message,
               'Version change transaction was aborted.');
  assert.equal(asError('see https://delve.test/help/storage').message, 'see https://delve.test/help/storage');
});
