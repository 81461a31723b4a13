import { test } from 'node:test';
import assert from 'node:assert/strict';
import { IDBObjectStore } from 'fake-indexeddb';
import { fakeBrowser, bytes, text } from './helpers.js';
import { createKeeper } from '../js/kept.js';

function keeperIn(browser) {
  const store = browser.tab();
  const notes = [];
  const keeper = createKeeper(store, { note: (line) => notes.push(line), now: () => browser.clock });
  return { store, keeper, notes };
}

const batches = ['# seed 17\n# level 1\n', 'k 1 6\n', 'k 2 6\n# level 2\n', 'k 3 8\n', 'k 9 2\n# end died\n'];

test('pieces kept one batch at a time read back as the whole recording, and sum it up', async () => {
  const browser = fakeBrowser();
  const { store, keeper, notes } = keeperIn(browser);
  const game = keeper.startNew('');
  let at = 0;
  // Asked for without waiting, as the program hands them over.
  const kept = batches.map((batch) => {
    const piece = bytes(batch);
    const done = keeper.keep(at, piece);
    at += piece.length;
    return done;
  });
  await Promise.all(kept);
  assert.equal(text(await store.read(game.id)), batches.join(''));
  const [listed] = await store.list(game.id);
  assert.deepEqual([listed.seed, listed.level, listed.turn, listed.ended, listed.length], ['17', 2, 9, 'died', at]);
  assert.deepEqual(notes, []);
});

test('a summary starts afresh when the recording is handed over from its start', async () => {
  const browser = fakeBrowser();
  const { keeper } = keeperIn(browser);
  const game = keeper.startNew('');
  await keeper.keep(0, bytes('# seed 5\n# level 4\nk 7 2\n# end won\n'));
  await keeper.keep(0, bytes('# seed 6\n'));
  assert.deepEqual([game.seed, game.level, game.turn, game.ended], ['6', 0, 0, '']);
  await keeper.keep(9, bytes('k 8 4\n'));
  assert.equal(game.turn, 8);
});

test('storage that lost the beginning of a game is given all of it again', async () => {
  const browser = fakeBrowser();
  const { store, keeper } = keeperIn(browser);
  const game = keeper.startNew('');
  await keeper.keep(0, bytes(batches[0]));
  await store.remove(game.id);  // a page of an older version dropped it
  await keeper.keep(batches[0].length, bytes(batches[1]));
  assert.equal(text(await store.read(game.id)), batches[0] + batches[1]);
});

test('storage full in the middle of a game: the game is kept as far as it got, once told', async (t) => {
  const browser = fakeBrowser();
  const { store, keeper, notes } = keeperIn(browser);
  const game = keeper.startNew('');
  await keeper.keep(0, bytes(batches[0]));
  const put = IDBObjectStore.prototype.put;
  t.after(() => { IDBObjectStore.prototype.put = put; });
  IDBObjectStore.prototype.put = function () {
    throw new DOMException('the disk is full', 'QuotaExceededError');
  };
  await keeper.keep(batches[0].length, bytes(batches[1]));
  IDBObjectStore.prototype.put = put;
  await keeper.keep(batches[0].length + batches[1].length, bytes(batches[2]));
  assert.equal(notes.length, 1);
  assert.match(notes[0], /keeps no more of this game .*kept as far as it got/);
  assert.equal(text(await store.read(game.id)), batches[0], 'what was kept stays whole');
  assert.equal(keeper.refused(), true);
});

test('a browser that refuses storage from the start plays on, told once', async () => {
  const notes = [];
  const store = fakeBrowser().tab();
  const keeper = createKeeper({ ...store, append: () => Promise.reject(new Error('no room')) },
                              { note: (line) => notes.push(line), now: () => 0 });
  keeper.startNew('');
  await keeper.keep(0, bytes(batches[0]));
  await keeper.keep(batches[0].length, bytes(batches[1]));
  assert.deepEqual(notes, ['Games cannot be kept in this browser (no room), so this one will not be kept.']);
});

test('a game played on keeps growing the same recording', async () => {
  const browser = fakeBrowser();
  const first = keeperIn(browser);
  const game = first.keeper.startNew('');
  await first.keeper.keep(0, bytes(batches[0]));
  const later = keeperIn(browser);
  const whole = await later.store.readWhole(game.id);
  later.keeper.goOn(whole.game, whole.bytes);
  await later.keeper.keep(whole.bytes.length, bytes(batches[1]));
  assert.equal(text(await later.store.read(game.id)), batches[0] + batches[1]);
});
