import { test } from 'node:test';
import assert from 'node:assert/strict';
import { folderOf, newTileProblem, pixelAt, tilePaths } from '../js/tile-sheet.js';

const work = new Map([
  ['res/gamedata.dat', new Uint8Array(1)],
  ['tiles/map/map_002.til', new Uint8Array(1)],
  ['tiles/font/font_065.til', new Uint8Array(1)],
  ['tiles/map/map_001.TIL', new Uint8Array(1)],
  ['tiles/readme.txt', new Uint8Array(1)],
]);

test('the tiles of a work, by folder, and a new tile only where none is in any case', () => {
  assert.deepEqual(tilePaths(work), ['tiles/font/font_065.til', 'tiles/map/map_001.TIL', 'tiles/map/map_002.til']);
  assert.equal(folderOf('tiles/map/map_001.til'), 'tiles/map');
  assert.equal(newTileProblem('tiles/map/map_250.til', work), '');
  assert.equal(newTileProblem('tiles/map/MAP_001.til', work), 'tiles/map/map_001.TIL is there already');
  for (const path of ['res/x.til', 'tiles/map/a.png', 'tiles/../x.til', 'tiles//x.til', 'tiles/a\\b.til', 'tiles/c:x.til', 'tiles/map/new tile.til', 'tiles/é.til']) {
    assert.notEqual(newTileProblem(path, work), '', path);
  }
});

test('the pixel under a pointer, the edges included, and nothing off the tile', () => {
  assert.deepEqual(pixelAt(0, 0, 24, 8, 8), { x: 0, y: 0 });
  assert.deepEqual(pixelAt(23.9, 24, 24, 8, 8), { x: 0, y: 1 });
  assert.deepEqual(pixelAt(191.5, 191.5, 24, 8, 8), { x: 7, y: 7 });
  assert.equal(pixelAt(192, 10, 24, 8, 8), null);
  assert.equal(pixelAt(-0.5, 10, 24, 8, 8), null);
  assert.equal(pixelAt(NaN, 10, 24, 8, 8), null);
});
