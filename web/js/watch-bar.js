// The watch bar: shown while a recording is watched, its buttons the
// watcher's keys and its range the recording's timeline.
//
// What the program and the page say to each other while it watches:
//
//   globalThis.delveTimeline(timeline)   the program -> the page
//     Called by the program whenever what it watches changes (a turn shown,
//     paused or playing, a speed) with a plain object, every field a
//     number, boolean or string (ReportedTimeline, watch-timeline.js):
//       { turn, lastTurn, level, levelStarts, falls, paused, speed, label }
//     turn 1..lastTurn; levelStarts the first turn of each level, in order,
//     each a number or { turn, level }; falls each a number or
//     { turn, party } (party: no member of the party has health left);
//     level, speed and label optional. Called with null once the program
//     no longer watches (it plays on from a turn): the bar goes. Whatever
//     it gets is checked (readTimeline); nothing it gets can throw.
//
//   globalThis.delvePlayingOn()           the program -> the page
//     Called once the program plays on from the turn shown ('p'), before it
//     hands the page the first bytes of the new game's recording (keep,
//     from offset 0): the bar goes and the page keeps the new game as a new
//     kept game, as it keeps a new game (the watched one stays as it was).
//
//   globalThis.delveTakeChosenTurn() -> number   the page -> the program
//     The turn the player chose on the range, 1..lastTurn, taken once
//     (the next call gives 0 until another is chosen); 0 for none. Only the
//     latest choice is kept: a range dragged over many turns asks for the
//     one it rests on. When a turn is chosen the page wakes the program
//     from its wait (Module.page.wait resolves early, as for a key) so that
//     a paused watcher takes it at once; the program asks after every wait.
//
// The buttons press the keyboard's keys (bridge.pressKey: the key's DOM
// name and code, through the same translation as a key press), so the
// program cannot tell a button from its key. Share… opens share-dialog.js.
import { nudge, pressKey } from './bridge.js';
import { Delve } from './hooks.js';
import { byId, canvas } from './screen.js';
import { clampTurn, marksToDraw, readTimeline, valueText, levelAt } from './watch-timeline.js';

/** @typedef {import('./watch-timeline.js').Timeline} Timeline */

const bar = byId('watch');
const range = /** @type {HTMLInputElement} */ (byId('watch-turn'));
const marks = byId('watch-marks');
const where = byId('watch-where');
const pause = byId('watch-pause');

/**
 * @param {object} with_
 * @param {(watched: { name: string, bytes: Uint8Array, turn: number }) => void} with_.share
 * @param {() => void} with_.playingOn  the program plays on from the turn shown: a new game to keep
 */
export function watchBar({ share, playingOn }) {
  /** @type {{ name: string, bytes: Uint8Array } | null} */
  let watched = null;
  /** @type {Timeline | null} */
  let timeline = null;
  let chosen = 0;       // the turn chosen and not yet taken by the program
  let dragging = false; // a finger or the mouse holds the range

  /** @param {number} turn */
  function say(turn) {
    if (!timeline) return;
    const text = valueText(turn, timeline.lastTurn, levelAt(timeline.levelStarts, turn));
    range.setAttribute('aria-valuetext', text);
    return text;
  }

  function drawMarks() {
    marks.textContent = '';
    if (!timeline) return;
    for (const mark of marksToDraw(timeline)) {
      const tick = document.createElement('span');
      tick.className = mark.kind;
      tick.style.setProperty('--at', String(mark.at));
      marks.appendChild(tick);
    }
  }

  /** @param {unknown} reported */
  function update(reported) {
    if (!watched) return;
    if (reported === null) return end();
    const next = readTimeline(reported);
    if (!next) return;
    const marksChanged = !timeline || timeline.lastTurn !== next.lastTurn ||
      JSON.stringify([timeline.levelStarts, timeline.falls]) !== JSON.stringify([next.levelStarts, next.falls]);
    timeline = next;
    range.disabled = false;
    range.max = String(next.lastTurn);
    // The player's hand wins over the program's report until it lets go.
    if (!dragging && !chosen) {
      range.value = String(next.turn);
      say(next.turn);
    }
    if (marksChanged) drawMarks();
    where.textContent = (next.label || valueText(next.turn, next.lastTurn, next.level)) +
      (next.paused ? ' \u00b7 paused' : '') + (next.speed ? ' \u00b7 speed ' + next.speed : '');
    pause.textContent = next.paused ? 'Play' : 'Pause';
    pause.setAttribute('aria-label', (next.paused ? 'Play' : 'Pause') + ' (Space)');
  }

  function take() {
    const turn = chosen;
    chosen = 0;
    return turn;
  }

  /**
   * A recording is watched from now on: the bar shows, its range waiting for
   * the program's first timeline.
   * @param {string} name @param {Uint8Array} bytes
   */
  function begin(name, bytes) {
    watched = { name, bytes };
    timeline = null;
    chosen = 0;
    range.disabled = true;
    range.max = '1';
    range.value = '1';
    range.removeAttribute('aria-valuetext');
    marks.textContent = '';
    where.textContent = '';
    globalThis.delveTimeline = update;
    globalThis.delveTakeChosenTurn = take;
    globalThis.delvePlayingOn = () => {
      end();
      playingOn();
    };
    bar.hidden = false;
    document.body.classList.add('watching');
  }

  /** Watching is over (the program ended, or plays on): the bar goes. */
  function end() {
    if (!watched) return;
    watched = null;
    timeline = null;
    chosen = 0;
    globalThis.delveTimeline = undefined;
    globalThis.delveTakeChosenTurn = undefined;
    globalThis.delvePlayingOn = undefined;
    bar.hidden = true;
    document.body.classList.remove('watching');
  }

  function choose() {
    if (!timeline) return;
    const turn = clampTurn(range.value, timeline.lastTurn);
    say(turn);
    chosen = turn;
    nudge();
  }
  range.addEventListener('input', choose);
  range.addEventListener('change', choose);
  range.addEventListener('pointerdown', () => { dragging = true; });
  window.addEventListener('pointerup', () => { dragging = false; });
  window.addEventListener('pointercancel', () => { dragging = false; });

  bar.addEventListener('click', (event) => {
    const button = event.target instanceof Element ? event.target.closest('button') : null;
    if (!button) return;
    if (button.id === 'watch-share') {
      if (watched) share({ name: watched.name, bytes: watched.bytes, turn: timeline ? timeline.turn : 1 });
      return;
    }
    const key = button.getAttribute('data-key');
    if (key) pressKey(key, button.getAttribute('data-code') || '');
    // A click or tap leaves the keys with the game; a key that pressed the
    // button keeps its focus, for players who move through the buttons.
    if (event.detail > 0 && Delve.state === 'running') canvas.focus();
  });
  // The range's own keys (arrows, Home, End, Page Up and Down) move it; the
  // watcher's others still reach the program from it.
  range.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey || ![' ', '+', '-', '.', 'p', 'Escape'].includes(event.key)) return;
    event.preventDefault();
    pressKey(event.key, event.code);
  });

  return {
    begin,
    end,
    /** @returns {number} */
    turn: () => (timeline ? timeline.turn : 0),
  };
}
