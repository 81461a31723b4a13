import { test } from 'node:test';
import assert from 'node:assert/strict';
import { WINDOW, windows } from '../js/read-windows.js';

/** @param {[number, number][]} pieces  [at, size] each */
const runsOf = (pieces) => windows(pieces.length, (i) => pieces[i][0], (i) => pieces[i][1])
  .map((run) => [run.from, run.to, run.start, run.end]);

test('pieces side by side are read a window at a time, and every piece lies within its run', () => {
  const small = Array.from({ length: 10_000 }, (_, i) => [i * 300, 250]);
  const runs = windows(small.length, (i) => small[i][0], (i) => small[i][1]);
  assert.ok(runs.length <= 4, runs.length + ' reads for 10,000 small files');
  let next = 0;
  for (const run of runs) {
    assert.equal(run.from, next, 'no piece is left out or read twice');
    next = run.to;
    assert.ok(run.end - run.start <= WINDOW);
    for (let i = run.from; i < run.to; i++) {
      assert.ok(small[i][0] >= run.start && small[i][0] + small[i][1] <= run.end);
    }
  }
  assert.equal(next, small.length);
});

test('a large piece, or one out of order, is a run of its own', () => {
  assert.deepEqual(runsOf([[0, 10], [10, WINDOW], [WINDOW + 10, 5]]),
                   [[0, 1, 0, 10], [1, 2, 10, WINDOW + 10], [2, 3, WINDOW + 10, WINDOW + 15]]);
  assert.deepEqual(runsOf([[500, 10], [100, 10], [120, 0]]), [[0, 1, 500, 510], [1, 3, 100, 120]]);
  assert.deepEqual(runsOf([]), []);
});
