import { test } from 'node:test';
import assert from 'node:assert/strict';
import { fakeBrowser, fakeLocks, bytes, text } from './helpers.js';
import { IDBKeyRange } from 'fake-indexeddb';
import { KEPT_GAMES, IDLE_MS, createKeptStore } from '../js/kept-store.js';
import { STALE_MS } from '../js/claims.js';
import { openDatabase, transact } from '../js/db.js';

/** A kept game entry as the page writes them. */
function game(id, played, seed = '17') {
  return { id, started: played, played, seed, level: 1, turn: 3, ended: '', length: 0, data: '' };
}

async function keepWhole(store, entry, recording) {
  const piece = bytes(recording);
  assert.equal(await store.append({ ...entry, length: piece.length }, 0, piece, () => null), true);
}

test('the list keeps the last 20 games played, and drops the rest with their recordings', async () => {
  const browser = fakeBrowser();
  const store = browser.tab();
  for (let i = 0; i < KEPT_GAMES + 5; i++) await keepWhole(store, game(i + 1, 1000 + i), '# seed 17\n');
  const listed = await store.list(null);
  assert.deepEqual(listed.map((g) => g.id), Array.from({ length: 20 }, (_, i) => 25 - i));
  assert.equal((await store.read(3)).length, 0, 'a dropped game leaves no pieces behind');
  assert.equal(text(await store.read(25)), '# seed 17\n');
});

test('a game still on the title is never dropped while a page plays it', async (t) => {
  await t.test('this page\'s own game', async () => {
    const browser = fakeBrowser();
    const store = browser.tab();
    await keepWhole(store, game(7, 10, null), '# definitions\n');
    for (let i = 0; i < KEPT_GAMES + 1; i++) await keepWhole(store, game(100 + i, 100 + i), '# seed 1\n');
    const listed = await store.list(7);
    assert.equal(listed.length, KEPT_GAMES, 'a game without a seed is not listed');
    assert.equal(text(await store.read(7)), '# definitions\n', 'but it is kept');
  });
  await t.test('another page\'s game, known by its lock', async () => {
    const browser = fakeBrowser();
    const other = browser.tab();
    const store = browser.tab();
    await keepWhole(other, game(8, 10, null), '# definitions\n');
    assert.equal(await other.lock(8), true);
    browser.clock += 10 * IDLE_MS;
    await store.list(null);
    assert.equal(text(await store.read(8)), '# definitions\n');
    browser.locks.held.delete('delve-game-8');  // that page closed
    await store.list(null);
    assert.equal((await store.read(8)).length, 0, 'once no page plays it, a game on the title goes');
  });
  await t.test('where the browser cannot tell, one kept lately', async () => {
    const browser = fakeBrowser();
    const store = browser.tab({ withoutLocks: true });
    await keepWhole(store, game(9, browser.clock - 60_000, null), '# definitions\n');
    await keepWhole(store, game(10, browser.clock - 2 * IDLE_MS, null), '# definitions\n');
    await store.list(null);
    assert.equal(text(await store.read(9)), '# definitions\n');
    assert.equal((await store.read(10)).length, 0, 'one untouched for two days is abandoned');
  });
});

test('a second tab is refused the game that a first one plays, until it closes', async () => {
  const locks = fakeLocks();
  const first = fakeBrowser({ locks }).tab();
  const second = fakeBrowser({ locks }).tab();
  assert.equal(await first.lock(5), true);
  assert.equal(await first.lock(5), true, 'the page that holds it may take it again');
  assert.equal(await second.lock(5), false);
  locks.held.delete('delve-game-5');
  assert.equal(await second.lock(5), true);
});

test('Delete takes the game, its pieces and its picture', async () => {
  const store = fakeBrowser().tab();
  await keepWhole(store, game(4, 10), '# seed 4\n');
  await store.putPicture(4, bytes('picture'));
  await keepWhole(store, game(5, 11), '# seed 5\n');
  await store.remove(4);
  const whole = await store.readWhole(4);
  assert.deepEqual([whole.game, whole.bytes.length, whole.picture], [undefined, 0, undefined]);
  assert.deepEqual((await store.list(null)).map((g) => g.id), [5]);
});

test('an older tab holding the storage refuses it; once it closes, nothing stays open', async () => {
  const browser = fakeBrowser();
  const old = await new Promise((resolve, reject) => {
    const request = browser.indexedDB.open('delve-games', 1);
    request.onupgradeneeded = () => {
      request.result.createObjectStore('games', { keyPath: 'id' });
      request.result.createObjectStore('pieces');
    };
    request.onsuccess = () => resolve(request.result);  // the old page never lets go
    request.onerror = () => reject(request.error);
  });
  const store = browser.tab();
  await assert.rejects(store.list(null), /older version of this page/);
  old.close();
  // The upgrade now goes through, and the connection that opened late is
  // closed: a later page upgrades as if this one were gone.
  await new Promise((resolve) => setTimeout(resolve, 20));
  const later = fakeBrowser();
  later.indexedDB = browser.indexedDB;
  const listed = await later.tab().list(null);
  assert.deepEqual(listed, []);
});

test('without a lock manager a claim in the storage keeps a game to one tab', async (t) => {
  const tabs = (browser) => [browser.tab({ withoutLocks: true }), browser.tab({ withoutLocks: true })];

  await t.test('a second tab is refused while the first renews its claim', async () => {
    const browser = fakeBrowser();
    const [first, second] = tabs(browser);
    assert.equal(await first.lock(5), true);
    assert.equal(await second.lock(5), false);
    assert.equal(await second.lock(6), true, 'another game is free to take');
    for (let minute = 0; minute < 10; minute++) {
      browser.clock += 60_000;  // a background tab's timers may run once a minute
      await first.beat();
    }
    assert.equal(await second.lock(5), false, 'a claim kept renewed never goes stale');
  });

  await t.test('a tab that closes lets go at once; one killed, once its claim is stale', async () => {
    const browser = fakeBrowser();
    const [first, second] = tabs(browser);
    await first.lock(5);
    first.release();
    assert.equal(await second.lock(5), true);
    const third = browser.tab({ withoutLocks: true });
    browser.clock += STALE_MS - 1000;  // the second is killed: no more beats
    assert.equal(await third.lock(5), false);
    browser.clock += 2000;
    assert.equal(await third.lock(5), true, 'the killed tab\'s game can be continued later');
  });

  await t.test('a closing tab\'s last write to the storage may be lost: its mark lets go all the same', async () => {
    const browser = fakeBrowser();
    const [first, second] = tabs(browser);
    await first.lock(5);
    const claimsDb = await openDatabase(() => browser.indexedDB, 'delve-claims', 1, () => {});
    const all = (mode, act) => transact(claimsDb, ['claims'], mode, (s) => act(s.claims));
    const before = await all('readonly', (store) => { const r = store.getAll(); return () => r.result; });
    first.release();
    await new Promise((resolve) => setTimeout(resolve, 10));
    await all('readwrite', (store) => { for (const claim of before) store.put(claim); });  // the delete never came
    assert.equal(await second.lock(5), true);
    assert.equal(browser.localStorage.length, 1);
    browser.clock += STALE_MS + 1;
    await second.lock(6);
    assert.equal(browser.localStorage.length, 0, 'marks of pages closed long ago are forgotten');
    claimsDb.close();

    const bare = fakeBrowser();
    const [one, other] = [bare.tab({ withoutLocks: true, withoutLocalStorage: true }),
                          bare.tab({ withoutLocks: true, withoutLocalStorage: true })];
    await one.lock(5);
    one.release();
    await new Promise((resolve) => setTimeout(resolve, 10));
    assert.equal(await other.lock(5), true, 'without localStorage the storage\'s own delete lets go');
  });

  await t.test('a tab that slept past its claim learns that it lost the game', async () => {
    const browser = fakeBrowser();
    const [first, second] = tabs(browser);
    const lost = [];
    first.onLost((id) => lost.push(id));
    await first.lock(5);
    await first.lock(7);
    browser.clock += STALE_MS + 1;
    assert.equal(await second.lock(5), true);
    await first.beat();
    assert.deepEqual(lost, [5]);
    assert.equal(await second.lock(7), false, 'the game it still held is renewed');
    assert.equal(first.beats.length, 1, 'one heartbeat a tab, however many games it holds');

    // It lost the game even when the tab that took it was killed since: that
    // tab's turns are in the recording now.
    const [sleeper, taker] = tabs(browser);
    const told = [];
    sleeper.onLost((id) => told.push(id));
    await sleeper.lock(9);
    browser.clock += STALE_MS + 1;
    await taker.lock(9);
    browser.clock += STALE_MS + 1;
    await sleeper.beat();
    assert.deepEqual(told, [9]);
    first.release();
    assert.equal(await second.lock(7), true, 'a tab that closes lets go of what it still holds');
  });

  await t.test('a game on the title that another tab holds is not pruned, however long ago it was kept', async () => {
    const browser = fakeBrowser();
    const [other, store] = tabs(browser);
    await keepWhole(other, game(8, browser.clock, null), '# definitions\n');
    await other.lock(8);
    browser.clock += 2 * IDLE_MS;
    await other.beat();
    await store.list(null);
    assert.equal(text(await store.read(8)), '# definitions\n');
  });
});

test('a lock manager that fails is a refusal, never a grant', async () => {
  const browser = fakeBrowser();
  const failing = {
    request: () => Promise.reject(new DOMException('The request was aborted.', 'AbortError')),
    query: () => Promise.reject(new Error('no')),
  };
  const throwing = { request: () => { throw new DOMException('Access denied.', 'SecurityError'); } };
  assert.equal(await browser.tab({ locks: failing }).lock(5), false);
  assert.equal(await browser.tab({ locks: throwing }).lock(5), false);
});

test('without storage for claims, nothing is granted', async () => {
  const store = createKeptStore({ indexedDB: () => undefined, IDBKeyRange, locks: undefined, now: () => 0 });
  assert.equal(await store.lock(5), false);
});
