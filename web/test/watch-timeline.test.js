import { test } from 'node:test';
import assert from 'node:assert/strict';
import { MOST_MARKS, clampTurn, fractionOf, levelAt, marksToDraw, readTimeline, recordingFileName, valueText }
  from '../js/watch-timeline.js';

test('a turn asked for is a whole turn of the recording, whatever the range or a link gave', () => {
  assert.equal(clampTurn('812', 4020), 812);
  assert.equal(clampTurn(812.6, 4020), 813);
  assert.equal(clampTurn(0, 4020), 1);
  assert.equal(clampTurn(-5, 4020), 1);
  assert.equal(clampTurn(9999, 4020), 4020);
  for (const junk of ['', 'abc', NaN, Infinity, null, undefined, {}]) assert.equal(clampTurn(junk, 4020), 1, String(junk));
  // A recording the program says has no turn, or a nonsense last turn.
  assert.equal(clampTurn(5, 0), 1);
  assert.equal(clampTurn(5, NaN), 1);
});

test('what a screen reader says: the turn of the whole, grouped, and the level once there is one', () => {
  assert.equal(valueText(812, 4020, 3), 'turn 812 of 4,020, level 3');
  assert.equal(valueText(1, 1, 0), 'turn 1 of 1');
  assert.equal(valueText(1234567, 1234567, 12), 'turn 1,234,567 of 1,234,567, level 12');
});

test('the speed is shown as the program says it; a plain number is taken, anything else is none', () => {
  const speed = (value) => readTimeline({ turn: 1, lastTurn: 2, speed: value })?.speed;
  assert.equal(speed('\u00d72'), '\u00d72');
  assert.equal(speed('\u00d7\u00bd'), '\u00d7\u00bd');
  assert.equal(speed(4), '4');
  for (const none of [undefined, null, 0, -1, NaN, Infinity, {}, 'x'.repeat(13)]) assert.equal(speed(none), '', String(none));
});

test('the program\'s report is checked: numbers whole and in range, marks in order and within the game', () => {
  const t = readTimeline({ turn: 5000, lastTurn: 4020.2, levelStarts: [900, 1, 'x', 5000, -3], falls: [{ turn: 30 },
    { turn: 10, party: true }, { turn: 4021 }], paused: 'yes', speed: Infinity, label: 7 });
  assert.ok(t);
  assert.equal(t.turn, 4020);
  assert.equal(t.lastTurn, 4020);
  // Plain turns count the levels in the order the program gave them.
  assert.deepEqual(t.levelStarts, [{ turn: 1, level: 2 }, { turn: 900, level: 1 }]);
  assert.deepEqual(t.falls, [{ turn: 10, party: true }, { turn: 30, party: false }]);
  assert.equal(t.paused, false);
  assert.equal(t.speed, '');
  assert.equal(t.label, '');
  assert.equal(t.level, 1, 'no level reported: the one the turn lies on');
  for (const nothing of [null, undefined, 3, 'turn', {}, { turn: 1, lastTurn: 0 }, { lastTurn: 'many' }]) {
    assert.equal(readTimeline(nothing), null, JSON.stringify(nothing));
  }
});

test('levels as the program numbers them: a new game begun in the recording starts at level 1 again', () => {
  const t = readTimeline({ turn: 700, lastTurn: 1000, levelStarts: [{ turn: 1, level: 1 }, { turn: 300, level: 2 },
    { turn: 600, level: 1 }] });
  assert.ok(t);
  assert.equal(t.level, 1);
  assert.equal(levelAt(t.levelStarts, 299), 1);
  assert.equal(levelAt(t.levelStarts, 300), 2);
  assert.equal(levelAt(t.levelStarts, 1000), 1);
  assert.equal(levelAt([{ turn: 5, level: 1 }], 4), 0, 'before the first level');
  assert.equal(readTimeline({ turn: 700, lastTurn: 1000, level: 9, levelStarts: [] })?.level, 9, 'the reported level wins');
});

test('marks lie where the range\'s thumb stands at their turn', () => {
  assert.equal(fractionOf(1, 4020), 0);
  assert.equal(fractionOf(4020, 4020), 1);
  assert.equal(fractionOf(2011, 4021), 0.5);
  assert.equal(fractionOf(9999, 4020), 1, 'past the end: at the end');
  assert.equal(fractionOf(1, 1), 0, 'a recording of one turn');
  const t = readTimeline({ turn: 1, lastTurn: 101, levelStarts: [1, 51], falls: [{ turn: 101, party: true }] });
  assert.ok(t);
  assert.deepEqual(marksToDraw(t), [{ at: 0, kind: 'level', turn: 1 }, { at: 0.5, kind: 'level', turn: 51 },
    { at: 1, kind: 'party', turn: 101 }]);
});

test('marks too close to tell apart are drawn once, a level start before a fall', () => {
  const t = readTimeline({ turn: 1, lastTurn: 10000, levelStarts: [{ turn: 5000, level: 4 }],
    falls: [4990, { turn: 4995, party: true }, 5001, 9000] });
  assert.ok(t);
  assert.deepEqual(marksToDraw(t, 0.01).map((m) => m.kind + ' ' + m.turn), ['level 5000', 'fall 9000']);
  // A long game's many falls: never more marks than the bar can show.
  const many = readTimeline({ turn: 1, lastTurn: 100000, falls: Array.from({ length: 5000 }, (_, i) => 1 + i * 20) });
  assert.ok(many);
  const drawn = marksToDraw(many);
  assert.ok(drawn.length <= MOST_MARKS && drawn.length > MOST_MARKS / 2, String(drawn.length));
  assert.ok(drawn.every((m, i) => i === 0 || m.at - drawn[i - 1].at >= 1 / MOST_MARKS));
});

test('a watched recording downloads under a plain file name', () => {
  assert.equal(recordingFileName('2026-12-08_205800_seed-17.rec'), '2026-12-08_205800_seed-17.rec');
  assert.equal(recordingFileName('the shared game'), 'the-shared-game.rec');
  assert.equal(recordingFileName('../../etc/passwd'), 'etc-passwd.rec');
  assert.equal(recordingFileName('\u00e9\u00e9'), 'game.rec');
});
