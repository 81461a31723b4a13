import { test } from 'node:test';
import assert from 'node:assert/strict';
import { IDBFactory } from 'fake-indexeddb';
import { createWorkStore, isWorkPath, sameWork, workOf, workPaths, copyWork } from '../js/studio-work.js';

const bytes = (...values) => new Uint8Array(values);
const work = (entries) => new Map(entries);

/** BroadcastChannel between the "tabs" of one test, delivered at once. */
function fakeChannels() {
  const open = new Set();
  return () => {
    const line = {
      onmessage: null,
      postMessage(data) {
        for (const other of open) if (other !== line && other.onmessage) other.onmessage({ data });
      },
      close() { open.delete(line); },
    };
    open.add(line);
    return line;
  };
}

test('a work is kept whole and comes back as its own copy, whatever the page does to the one it saved', async () => {
  const store = createWorkStore(() => new IDBFactory());
  assert.equal(await store.load(), undefined, 'nothing is kept before the first save');
  const indexedDB = new IDBFactory();
  const kept = createWorkStore(() => indexedDB);
  const mine = work([['tiles/map/a.til', bytes(253, 0, 1)], ['res/gamedata.dat', bytes(97, 61, 49)]]);
  assert.equal(await kept.save(mine), 1);
  mine.get('res/gamedata.dat')[0] = 98;  // edited after the save
  mine.set('res/shops.dat', bytes());
  const back = await kept.load();
  assert.equal(back.revision, 1);
  assert.deepEqual(workPaths(back.work), ['res/gamedata.dat', 'tiles/map/a.til']);
  assert.deepEqual([...back.work.get('res/gamedata.dat')], [97, 61, 49]);
  assert.equal(await kept.save(mine), 2, 'each save one revision on');
  assert.ok(sameWork((await kept.load()).work, mine));
  await kept.forget();
  assert.equal(await kept.load(), undefined);
});

test('two tabs: each save is whole, the last wins, and the other tab hears of it', async () => {
  const indexedDB = new IDBFactory();
  const channels = fakeChannels();
  const first = createWorkStore(() => indexedDB, channels);
  const second = createWorkStore(() => indexedDB, channels);
  const heard = [];
  const stop = first.watch((revision) => heard.push(revision));
  const a = work([['res/gamedata.dat', bytes(1)], ['res/stats.dat', bytes(2)]]);
  const b = work([['res/gamedata.dat', bytes(3)]]);
  // Saved at the same moment: two revisions, and one of the works whole.
  const revisions = await Promise.all([first.save(a), second.save(b)]);
  assert.deepEqual([...revisions].sort(), [1, 2]);
  const kept = (await second.load()).work;
  assert.ok(sameWork(kept, a) || sameWork(kept, b), 'never half of one and half of the other');
  assert.deepEqual(heard, [revisions[1]], "a tab is told of the other's save, with its revision, not of its own");
  stop();
  await second.save(a);
  assert.equal(heard.length, 1, 'a tab that stopped listening hears nothing');
});

test('a damaged or foreign record gives no paths outside a data folder', () => {
  assert.equal(workOf(undefined), undefined);
  assert.equal(workOf({ files: 'nope' }), undefined);
  const read = workOf({ revision: 'x', files: [
    { path: 'res/gamedata.dat', bytes: bytes(1) },
    { path: 'tiles/a.til', bytes: bytes(2).buffer },
    { path: '../escape.dat', bytes: bytes(3) },
    { path: 'res/../../x.dat', bytes: bytes(3) },
    { path: '/res/abs.dat', bytes: bytes(3) },
    { path: 'res\\back.dat', bytes: bytes(3) },
    { path: 'other/x.dat', bytes: bytes(3) },
    { path: 'res/text.dat', bytes: 'not bytes' },
    null,
  ] });
  assert.equal(read.revision, 0);
  assert.deepEqual(workPaths(read.work), ['res/gamedata.dat', 'tiles/a.til']);
  assert.deepEqual([...read.work.get('tiles/a.til')], [2]);
  for (const path of ['res/gamedata.dat', 'tiles/map/map_219.til', 'Tiles/Party/GARR_001.TIL', 'tiles/my tile (2).til', 'res/caf\u00e9.dat']) {
    assert.ok(isWorkPath(path), path);
  }
  for (const path of ['res', 'res/', 'res//a.dat', 'res/./a.dat', 'res/../a.dat', 'C:/res/a.dat', 'res/c:x.dat',
                      'res\\a.dat', 'res/a\nb.dat', 'tiles/.~a.til.tmp', 'other/res/a.dat', 42]) {
    assert.ok(!isWorkPath(path), String(path));
  }
});

test('copies and comparisons look at the bytes', () => {
  const a = work([['res/a.dat', bytes(1, 2)]]);
  const copy = copyWork(a);
  assert.ok(sameWork(a, copy));
  copy.get('res/a.dat')[1] = 9;
  assert.ok(!sameWork(a, copy), 'a copy shares no bytes');
  assert.ok(!sameWork(a, work([['res/a.dat', bytes(1)]])));
  assert.ok(!sameWork(a, work([['res/b.dat', bytes(1, 2)]])));
});
