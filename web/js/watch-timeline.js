// What the watch bar makes of the timeline the program reports: the turn a
// range may ask for, the words a screen reader says for it, and where the
// level starts and falls are drawn beside it. Nothing here touches the page,
// so it is tested without a browser (web/test/watch-timeline.test.js).

/**
 * A mark as the program may report it: a turn alone, or with its level
 * (a level start) or whether the whole party fell (a fall).
 * @typedef {number | { turn: number, level?: number, party?: boolean }} ReportedMark
 */

/**
 * The timeline as the program reports it (globalThis.delveTimeline).
 * @typedef {object} ReportedTimeline
 * @property {number} turn          the turn shown, 1..lastTurn
 * @property {number} lastTurn      the recording's last turn
 * @property {number} [level]       the level shown at `turn` (0 before the first)
 * @property {ReportedMark[]} [levelStarts]  the first turn of each level, in order
 * @property {ReportedMark[]} [falls]        the turns a member or the party fell
 * @property {boolean} [paused]
 * @property {string | number} [speed]  the speed as the program says it ("\u00d72"): shown as reported
 * @property {string} [label]       a line the program gives for the turn shown
 */

/**
 * The timeline checked: every number a whole number in range, whatever came.
 * @typedef {object} Timeline
 * @property {number} turn
 * @property {number} lastTurn
 * @property {number} level
 * @property {{ turn: number, level: number }[]} levelStarts  by turn
 * @property {{ turn: number, party: boolean }[]} falls       by turn
 * @property {boolean} paused
 * @property {string} speed  '' when none came
 * @property {string} label
 */

/** The most turns a recording can number (the program counts them in 32 bits). */
export const MOST_TURNS = 0x7fffffff;
/** Marks drawn beside the range at most: more would be one grey smear. */
export const MOST_MARKS = 200;

/**
 * A whole number from `low` to `high`; `fallback` for what is not a number.
 * @param {unknown} value @param {number} low @param {number} high @param {number} fallback
 */
function whole(value, low, high, fallback) {
  const n = typeof value === 'number' ? value : typeof value === 'string' && value.trim() ? Number(value) : NaN;
  if (!Number.isFinite(n)) return fallback;
  return Math.min(Math.max(Math.round(n), low), high);
}

/**
 * The turn to ask for: a whole turn from 1 to `lastTurn` (1 when the
 * recording has no turn, or the value is not a number).
 * @param {unknown} value @param {number} lastTurn
 */
export function clampTurn(value, lastTurn) {
  return whole(value, 1, Math.max(1, whole(lastTurn, 1, MOST_TURNS, 1)), 1);
}

/**
 * @param {unknown} list
 * @param {number} lastTurn
 * @param {(mark: any, index: number) => object} extra
 */
function marksOf(list, lastTurn, extra) {
  if (!Array.isArray(list)) return [];
  return list.map((mark, index) => {
    const turn = typeof mark === 'object' && mark !== null ? mark.turn : mark;
    return { turn: whole(turn, 0, MOST_TURNS, 0), ...extra(mark, index) };
  }).filter((mark) => mark.turn >= 1 && mark.turn <= lastTurn).sort((a, b) => a.turn - b.turn);
}

/**
 * The program's report made safe to show: numbers whole and in range, marks
 * within the recording and in order. Null for what is no timeline at all.
 * @param {unknown} reported
 * @returns {Timeline | null}
 */
export function readTimeline(reported) {
  if (typeof reported !== 'object' || reported === null) return null;
  const r = /** @type {Record<string, unknown>} */ (reported);
  const lastTurn = whole(r.lastTurn, 0, MOST_TURNS, 0);
  if (lastTurn < 1) return null;
  /** @type {Timeline['levelStarts']} */
  const levelStarts = /** @type {any} */ (marksOf(r.levelStarts, lastTurn, (mark, index) => ({
    level: typeof mark === 'object' && mark !== null ? whole(mark.level, 0, MOST_TURNS, index + 1) : index + 1,
  })));
  /** @type {Timeline['falls']} */
  const falls = /** @type {any} */ (marksOf(r.falls, lastTurn, (mark) => ({
    party: typeof mark === 'object' && mark !== null && mark.party === true,
  })));
  const turn = clampTurn(r.turn, lastTurn);
  return {
    turn,
    lastTurn,
    levelStarts,
    falls,
    level: r.level === undefined ? levelAt(levelStarts, turn) : whole(r.level, 0, MOST_TURNS, 0),
    paused: r.paused === true,
    speed: speedOf(r.speed),
    label: typeof r.label === 'string' ? r.label.slice(0, 200) : '',
  };
}

/**
 * The speed as words for the bar. The program reports its own short text
 * ("\u00d72", "\u00d7\u00bd"); a plain number is taken too. Anything else,
 * or a text too long to be a speed, is none.
 * @param {unknown} value
 */
function speedOf(value) {
  if (typeof value === 'number') return Number.isFinite(value) && value > 0 ? String(value) : '';
  return typeof value === 'string' && value.length <= 12 ? value.trim() : '';
}

/**
 * The level shown at `turn`: that of the latest level start at or before
 * it, 0 before the first.
 * @param {Timeline['levelStarts']} levelStarts by turn
 * @param {number} turn
 */
export function levelAt(levelStarts, turn) {
  let level = 0;
  for (const start of levelStarts) {
    if (start.turn > turn) break;
    level = start.level;
  }
  return level;
}

/** @param {number} n */
const grouped = (n) => n.toLocaleString('en-US');

/**
 * What a screen reader says for the range: "turn 812 of 4,020, level 3".
 * @param {number} turn @param {number} lastTurn @param {number} level
 */
export function valueText(turn, lastTurn, level) {
  return 'turn ' + grouped(turn) + ' of ' + grouped(lastTurn) + (level > 0 ? ', level ' + grouped(level) : '');
}

/**
 * Where a turn lies along the range, from 0 (turn 1, the thumb's leftmost
 * place) to 1 (the last turn).
 * @param {number} turn @param {number} lastTurn
 */
export function fractionOf(turn, lastTurn) {
  if (lastTurn <= 1) return 0;
  return (clampTurn(turn, lastTurn) - 1) / (lastTurn - 1);
}

/**
 * The marks to draw, each at its fraction of the range: a level start, a
 * member's fall or the party's. Marks closer than `gap` (a fraction of the
 * range) to the one drawn before are left out, a level start kept over a
 * fall, so a long game's many falls stay readable.
 * @param {Timeline} timeline
 * @param {number} [gap]
 * @returns {{ at: number, kind: 'level' | 'fall' | 'party', turn: number }[]}
 */
export function marksToDraw(timeline, gap = 1 / MOST_MARKS) {
  /** @type {{ at: number, kind: 'level' | 'fall' | 'party', turn: number }[]} */
  const all = [
    ...timeline.levelStarts.map((m) => ({ at: fractionOf(m.turn, timeline.lastTurn), kind: /** @type {const} */ ('level'), turn: m.turn })),
    ...timeline.falls.map((m) => ({ at: fractionOf(m.turn, timeline.lastTurn),
                                    kind: m.party ? /** @type {const} */ ('party') : /** @type {const} */ ('fall'), turn: m.turn })),
  ];
  const rank = { level: 0, party: 1, fall: 2 };
  all.sort((a, b) => a.at - b.at || rank[a.kind] - rank[b.kind]);
  /** @type {typeof all} */
  const drawn = [];
  for (const mark of all) {
    const last = drawn[drawn.length - 1];
    if (last && mark.at - last.at < gap) {
      if (rank[mark.kind] < rank[last.kind]) drawn[drawn.length - 1] = mark;
      continue;
    }
    drawn.push(mark);
  }
  return drawn.slice(0, MOST_MARKS);
}

/**
 * The name a watched recording is downloaded under: its own when it was a
 * .rec file, otherwise made of its name's letters and digits.
 * @param {string} name
 */
export function recordingFileName(name) {
  const plain = name.replace(/\.rec$/i, '').replace(/[^A-Za-z0-9_-]+/g, '-').replace(/^-+|-+$/g, '').slice(0, 80);
  return (plain || 'game') + '.rec';
}
