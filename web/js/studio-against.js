// A kept game (or an opened .rec) played again on the studio's work, its
// checkpoints checked as delve-replay --recording checks them: the turn where
// it first differs, in the tool's words, with that turn's picture on the data
// it was played on beside the one on the work. A long game is played a slice
// at a time, so the page answers meanwhile.
import { breathe, describe, studio } from './bridge.js';
import { Delve } from './hooks.js';
import { ownRoot, playingName } from './own.js';
import { byId } from './screen.js';
import { copyWork, folderWork } from './studio-work.js';
import { dateOf } from './summary.js';

/** @typedef {import('./studio-work.js').StudioWork} StudioWork */
/** @typedef {import('./summary.js').Game} Game */

/**
 * The kept games, as the list of games shows them.
 * @typedef {object} KeptGames
 * @property {() => Promise<Game[]>} list
 * @property {(id: number) => Promise<Uint8Array>} read
 */

/**
 * How a check ended, for the page's tests as for its reader.
 * @typedef {object} CheckOutcome
 * @property {'matched' | 'differs' | 'refused'} verdict
 * @property {number} turn      where it first differs, or the last turn played
 * @property {number} frames    frames shown up to there
 * @property {string} message   delve-replay's line for a difference, or why it was refused
 * @property {'' | 'shipped' | 'own' | 'work' | 'missing'} played  the data it was played on, as found
 */

const CHECK_ROOT = '/studio-check';    // the work as it was when the check began
const PLAYED_ROOT = '/studio-played';  // a copy of the data the game was played on
const SLICE_MS = 20;                   // the browser's turn comes about this often
const MAX_RECORDING_BYTES = 16 * 1024 * 1024;  // the program refuses larger ones unread

/**
 * @param {object} with_
 * @param {KeptGames} with_.games
 * @param {() => StudioWork | null} with_.currentWork
 * @param {(pixels: Uint8Array, width: number, height: number, colours: Uint8Array) => ImageData} with_.pictureOf
 */
export function againstControls({ games, currentWork, pictureOf }) {
  const chooser = /** @type {HTMLSelectElement} */ (byId('studio-kept'));
  const file = /** @type {HTMLInputElement} */ (byId('studio-rec'));
  const stop = byId('studio-against-stop');
  let runs = 0;   // each check has its number; a newer one (or Stop) ends an older one
  /** @type {Game[]} */
  let listed = [];

  /** @param {string} text @param {boolean} [refused] */
  function say(text, refused) {
    const line = byId('studio-against-said');
    line.textContent = text;
    line.classList.toggle('refused', !!refused);
  }

  /** Lists the kept games again (the studio opens long after a game began). */
  function showGames() {
    return games.list().catch(() => []).then((found) => {
      listed = found;
      chooser.textContent = '';
      for (const game of found) {
        const option = document.createElement('option');
        const d = dateOf(game.played);
        option.value = String(game.id);
        option.textContent = d.day + ' ' + d.time + ', seed ' + game.seed + ', turn ' + game.turn +
          (game.data ? ', on "' + game.data + '"' : '');
        chooser.appendChild(option);
      }
      chooser.disabled = !found.length;
      byId('studio-against').toggleAttribute('disabled', !found.length);
      if (!found.length) {
        const none = document.createElement('option');
        none.textContent = 'no kept game yet';
        chooser.appendChild(none);
      }
    });
  }

  /**
   * Plays the job to its end in slices, each about SLICE_MS long; null when
   * a newer check took over meanwhile.
   * @param {number} job @param {number} run @param {(turn: number) => void} progress
   */
  async function played(job, run, progress) {
    let frames = 4;
    let shown = 0;
    for (;;) {
      const began = performance.now();
      const step = studio.replayStep(job, frames);
      if (step.ended) return step;
      const spent = Math.max(performance.now() - began, 0.5);
      // Frames differ in cost (a new level's first ones most): the slice
      // grows at most twice over, and a slice that made a level and showed
      // no frame says nothing of them.
      if (step.frames > shown) frames = Math.max(1, Math.min(2 * frames, 2000, Math.round(frames * SLICE_MS / spent)));
      shown = step.frames;
      progress(step.turn);
      await breathe();
      if (run !== runs) return null;
    }
  }

  /**
   * @param {string} canvasId @param {{ width: number, height: number, pixels: Uint8Array } | null} page
   */
  function draw(canvasId, page) {
    const canvas = /** @type {HTMLCanvasElement} */ (byId(canvasId));
    canvas.hidden = !page;
    if (!page) return;
    canvas.width = page.width;
    canvas.height = page.height;
    /** @type {CanvasRenderingContext2D} */ (canvas.getContext('2d', { alpha: false })).putImageData(
      pictureOf(page.pixels, page.width, page.height, studio.palette()), 0, 0);
  }

  /**
   * Where the data a recording names by `digest` is in this page: the
   * shipped data, the own data in play, or the work itself (a game played
   * on it, or one whose difference is not the data's); '' when none is.
   * @param {string} digest
   * @returns {{ root: string, played: 'shipped' | 'own' | 'work' } | null}
   */
  function playedData(digest) {
    if (studio.digest(CHECK_ROOT) === digest) return { root: CHECK_ROOT, played: 'work' };
    if (studio.digest('/game') === digest) return { root: '/game', played: 'shipped' };
    if (playingName() && studio.digest(ownRoot()) === digest) return { root: ownRoot(), played: 'own' };
    return null;
  }

  /** @param {CheckOutcome} outcome */
  function done(outcome) {
    Delve.studioChecks.push(outcome);
    stop.hidden = true;
  }

  /**
   * The check of one recording against the work as it is now.
   * @param {Uint8Array} bytes @param {string} name @param {string} [dataName]  the own data a kept game names
   */
  async function check(bytes, name, dataName) {
    const run = ++runs;
    const work = currentWork();
    if (!work) return;
    byId('studio-against-pictures').hidden = true;
    stop.hidden = false;
    // The check plays on a copy: the preview rewrites the work's folder at every edit.
    if (!studio.write(CHECK_ROOT, copyWork(work))) {
      say('The page could not write the work into the game\'s files.', true);
      done({ verdict: 'refused', turn: 0, frames: 0, message: 'not written', played: '' });
      return;
    }
    const started = studio.replayStart(CHECK_ROOT, bytes, 0);
    if (started.problem !== undefined) {
      say(name + ' cannot be checked: ' + started.problem + '.', true);
      done({ verdict: 'refused', turn: 0, frames: 0, message: started.problem, played: '' });
      return;
    }
    const { job, lastTurn, digest } = started;
    let ended;
    try {
      ended = await played(job, run, (turn) => say('Playing ' + name + ' on the work: turn ' + turn + ' of ' + lastTurn + '\u2026'));
      if (!ended) return;
      if (ended.ended !== 'differs') {
        say(name + ' matches the work to its end (turn ' + ended.turn + ').');
        done({ verdict: 'matched', turn: ended.turn, frames: ended.frames, message: '', played: '' });
        return;
      }
      draw('studio-against-edited', studio.replayPage(job));
    } finally {
      studio.replayEnd(job);
    }
    const differs = name + ' differs from the work: ' + ended.message + '.';
    byId('studio-against-pictures').hidden = false;
    const found = playedData(digest);
    const caption = byId('studio-against-played-caption');
    if (!found) {
      // Nothing here to play it on as it was played: only the work's side is shown.
      draw('studio-against-played', null);
      caption.textContent = 'The data it was played on' + (dataName ? ' ("' + dataName + '")' : '') +
        ' is not in this page, so its picture cannot be shown: play that data, then check again.';
      say(differs);
      done({ verdict: 'differs', turn: ended.turn, frames: ended.frames, message: ended.message, played: 'missing' });
      return;
    }
    say(differs + ' Drawing turn ' + ended.turn + ' as it was played\u2026');
    // A copy here too: the game in play writes beside its own data.
    const root = found.root === CHECK_ROOT ? CHECK_ROOT : PLAYED_ROOT;
    if (root === PLAYED_ROOT) studio.write(PLAYED_ROOT, await folderWork(found.root));
    if (run !== runs) return;
    const again = studio.replayStart(root, bytes, Math.max(ended.frames, 1));
    if (again.job) {
      try {
        const there = await played(again.job, run, () => {});
        if (!there) return;
        draw('studio-against-played', studio.replayPage(again.job));
      } finally {
        studio.replayEnd(again.job);
      }
    }
    caption.textContent = 'As it was played, on ' +
      { shipped: 'the shipped data', own: 'your data "' + playingName() + '"', work: 'this same data' }[found.played];
    say(differs);
    done({ verdict: 'differs', turn: ended.turn, frames: ended.frames, message: ended.message, played: found.played });
  }

  /**
   * The program stopped, or the browser would not read the game: said, the work untouched.
   * @param {unknown} error
   */
  function failed(error) {
    stop.hidden = true;
    say('The check stopped (' + describe(error) + ').', true);
  }

  byId('studio-against').addEventListener('click', () => {
    const game = listed.find((one) => String(one.id) === chooser.value);
    if (!game) return;
    const name = 'The game of ' + chooser.selectedOptions[0].textContent;
    say('Reading ' + name + '\u2026');
    games.read(game.id).then((bytes) => check(bytes, name, game.data)).catch(failed);
  });
  file.addEventListener('change', () => {
    const chosen = file.files && file.files[0];
    file.value = '';
    if (!chosen) return;
    if (chosen.size > MAX_RECORDING_BYTES) {
      say('"' + chosen.name + '" cannot be checked: larger than a recording can be.', true);
      return;
    }
    chosen.arrayBuffer().then((buffer) => check(new Uint8Array(buffer), '"' + chosen.name + '"')).catch(failed);
  });
  stop.addEventListener('click', () => {
    runs++;
    stop.hidden = true;
    say('Stopped.');
  });
  return { showGames };
}
