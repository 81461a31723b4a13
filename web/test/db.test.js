import { test } from 'node:test';
import assert from 'node:assert/strict';
import { IDBFactory } from 'fake-indexeddb';
import { openDatabase, transact } from '../js/db.js';

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
