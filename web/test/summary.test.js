import { test } from 'node:test';
import assert from 'node:assert/strict';
import { summarize, fileName, describeGame } from '../js/summary.js';
import { bytes } from './helpers.js';

const fresh = () => ({ id: 1, started: new Date(2026, 11, 7, 20, 48, 11).getTime(), played: 0,
                       seed: null, level: 0, turn: 0, ended: '', length: 0, data: '' });

test('a summary is read from the recording\'s own lines, as delve --games reads them', () => {
  const game = fresh();
  // The header and the timer and clock lines say nothing of the game; a
  // level left for a shallower one leaves the deepest.
  summarize(game, 0, bytes('delve-recording 1\nprogram 0.2.0\ndata 12ab\n# seed 17\nt 0x1p+0\n# level 1\n' +
                           'k 3 66\n# level 3\nk 40 2\n# level 2\nk 41 8\n'));
  assert.deepEqual([game.seed, game.level, game.turn, game.ended], ['17', 3, 41, '']);
  summarize(game, 100, bytes('# end quit\n'));
  assert.equal(game.ended, 'quit');
  // Keys after the end: the game was continued, and goes on.
  summarize(game, 111, bytes('k 42 6\n'));
  assert.deepEqual([game.turn, game.ended], [42, '']);
  assert.equal(describeGame(game), 'seed 17, level 3, turn 42');
});

test('lines only count whole and at their start; a seed is at most 40 characters', () => {
  const game = fresh();
  summarize(game, 0, bytes('x # seed 99\n#  level 7\nk abc 6\n# seed ' + '9'.repeat(60) + '\n'));
  assert.equal(game.seed, '9'.repeat(40));
  assert.deepEqual([game.level, game.turn], [0, 0]);
});

test('a download is named as the window names its recordings, whatever the seed holds', () => {
  const game = { ...fresh(), seed: '17' };
  assert.equal(fileName(game), '2026-12-07_204811_seed-17.rec');
  assert.equal(fileName({ ...game, seed: '../../etc/passwd 1.5' }), '2026-12-07_204811_seed-....1.5.rec');
});
