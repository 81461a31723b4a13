// The start-up: loads the program and, once it is ready, decides what it
// plays — the game a shared link gives to watch, the choice carried over a
// reload, the seed link's new game, or,
// when a game is kept, Continue or New game on offer — on the data chosen
// (own.js). The program plays one thing a load; a choice made after that
// is carried over a reload (carry.js). Its states are states.js's.
import * as bridge from './bridge.js';
import { createMachine } from './states.js';
import { Delve, addTime } from './hooks.js';
import { byId, canvas, layout, note, report, show, showDrawn, showFailure, showProgress, showState } from './screen.js';
import { leaveFullscreen } from './fullscreen.js';
import { prepareOwn, dataArgs, playingName } from './own.js';
import { describeGame } from './summary.js';
import { openLink } from './share.js';
import { openDungeonLink } from './dungeon-link.js';

/** @typedef {import('./summary.js').Game} Game */
/** @typedef {import('./carry.js').Next} Next */

/**
 * @param {object} with_
 * @param {import('./kept-store.js').KeptStore} with_.store
 * @param {import('./kept.js').Keeper} with_.keeper
 * @param {ReturnType<import('./carry.js').createCarry>} with_.carry
 * @param {Promise<Game[]>} with_.listed   the kept games, as listed at the start
 * @param {string[]} with_.seedKeys        typed once a new game runs (index.html?seed=17)
 * @param {{ close: () => void, say: (text: string) => void }} with_.games  the games dialog
 * @param {{ begin: (name: string, bytes: Uint8Array) => void, end: () => void }} with_.watchBar
 * @param {string | null} with_.sharedLink  the page's address when it holds a game to watch (share.js)
 * @param {string | null} with_.dataLink    the page's address when it holds a dungeon to play (data-link.js)
 */
export function createStartup({ store, keeper, carry, listed, seedKeys, games, watchBar, sharedLink, dataLink }) {
  const machine = createMachine('loading', (to) => {
    showState(to);
    if (to === 'running') {
      layout();
      canvas.focus();
      typed.forEach(bridge.queueText);
      typed = [];
    } else if (to === 'ended') {
      watchBar.end();
      leaveFullscreen();
      byId('again').focus();
    }
  });
  /** @type {string[]} */
  let typed = [];  // what the program is given once it runs: the address's seed, for a new game only
  let runs = 0;  // each run writes a file of its own (this file system never shrinks one)
  /** @param {string} kind */
  const path = (kind) => '/kept-' + kind + '-' + (++runs) + '.rec';
  /** @type {Game | null} */
  let offered = null;  // the game Continue plays on

  /** @param {string} text */
  function fail(text) {
    if (machine.state() === 'failed') return;
    bridge.stop();
    watchBar.end();
    showFailure(text);
    machine.step('fail');
  }

  /** @param {string[]} args */
  function run(args) {
    bridge.callMain(dataArgs().concat(args));
  }

  function newGame() {
    typed = seedKeys;
    if (keeper.refused()) return run([]);
    keeper.startNew(playingName());
    run(['--record', path('game')]);
  }

  /** @param {Game | null} last */
  function offer(last) {
    if (last) offered = last;
    machine.step('offer');
    const button = byId('choose-continue');
    if (offered) button.textContent = 'Continue \u2014 ' + describeGame(offered);
    button.hidden = !offered;
    (button.hidden ? byId('choose-new') : button).focus();
  }

  /** @param {number} id */
  function continueGame(id) {
    return store.lock(id).then((held) => {
      if (!held) {
        note('That game is open in another page: it can be played on in one page at a time.');
        return offer(null);
      }
      return store.readWhole(id).then(({ game, bytes, picture }) => {
        if (!bytes.length || !game) {
          note('That game is no longer kept here; a new game starts.');
          return newGame();
        }
        const file = path('continued');
        if (!bridge.putFile(file, bytes)) throw new Error('the program could not take it');
        if (picture instanceof Uint8Array) bridge.putFile(file + '.picture', picture);
        keeper.goOn(game, bytes);
        run(['--continue', file]);
      });
    }).catch((error) => {
      keeper.refuse(bridge.describe(error));
      newGame();
    });
  }

  /**
   * Watches `recording`, from `turn` when one is given (a shared link's).
   * @param {string} name @param {Uint8Array} recording @param {number} [turn]
   */
  function watch(name, recording, turn) {
    const file = path('watched');
    try {
      bridge.putFile(file, recording);
    } catch (error) { /* the program says it cannot be watched */ }
    note('Watching ' + name + ': Space pauses, Left and Right step, Page Up and Page Down go by level, ' +
      'p plays on from the turn shown, Escape stops.');
    watchBar.begin(name, recording);
    const from = turn !== undefined && Number.isSafeInteger(turn) && turn > 1 ? ['--turn', String(turn)] : [];
    // Where a game played on from a watched turn is written, to be kept.
    run(['--play', file, '--record', path('game')].concat(from));
  }

  /**
   * The game a shared link holds, watched at its turn. A link that holds no
   * game is said in one note and changes nothing: the choice is offered as
   * on any visit (never a new game, which would be kept). Either way the
   * link leaves the address, so a reload does not open it again.
   * @param {string} href
   */
  function watchShared(href) {
    return openLink(href).catch((error) => ({ problem: bridge.describe(error) })).then((opened) => {
      history.replaceState(history.state, '', location.pathname + location.search);
      if ('bytes' in opened) {
        machine.step('launch');
        return watch('the shared game', opened.bytes, opened.turn);
      }
      note('This link holds no game to watch (' + opened.problem + '); nothing was changed.');
      return listed.then((games) => offer(games.filter((game) => (game.data || '') === playingName())[0] || null));
    });
  }

  /**
   * Plays `next` now if the program waits for the choice, or loads the page
   * again to play it there.
   * @param {Next} next
   */
  function launch(next) {
    if (!machine.can('launch')) {
      // Only a program that has played something is loaded again for it.
      if (machine.state() !== 'running' && machine.state() !== 'ended') return;
      carry.put(next).then(() => location.reload(), (error) => {
        games.say('The browser would not let the page take it along (' + bridge.describe(error) + ').');
      });
      return;
    }
    machine.step('launch');
    games.close();
    if (next.action === 'continue') continueGame(next.id);
    else if (next.action === 'watch') {
      store.read(next.id).catch(() => new Uint8Array(0)).then((bytes) => watch(next.name, bytes));
    } else if (next.action === 'watch-file') watch(next.name, next.bytes);
    else newGame();
  }

  /**
   * The data to play: a dungeon link's, else the own data chosen before. A
   * dungeon link that cannot be played is said in one note and changes
   * nothing; a game beside it, played on that dungeon, is not watched then.
   * Either way the link leaves the address, so a reload does not open it
   * again (a dungeon that plays is kept, and plays on a reload).
   */
  function prepareData() {
    if (!dataLink) return prepareOwn();
    return openDungeonLink(dataLink).then((problem) => {
      if (!sharedLink) history.replaceState(history.state, '', location.pathname + location.search);
      if (!problem) return;
      note('This dungeon link cannot be played (' + problem + '); nothing was changed.');
      if (sharedLink) history.replaceState(history.state, '', location.pathname + location.search);
      sharedLink = null;
      return prepareOwn();
    });
  }

  // Once the program is ready and a player's own data is in place.
  function choose() {
    if (sharedLink) {
      watchShared(sharedLink);
      return;
    }
    Promise.all([listed, carry.take()]).then(([games, next]) => {
      if (next) return launch(next);
      const last = games.filter((game) => (game.data || '') === playingName())[0];
      if (seedKeys.length || !last) return launch({ action: 'new' });
      offer(last);
    });
  }

  byId('choose-continue').addEventListener('click', () => {
    if (offered) launch({ action: 'continue', id: offered.id });
  });

  /** @type {import('./bridge.js').PageHandlers} */
  const handlers = {
    attached: () => machine.step('attached'),
    show,
    setTitle: (title) => { document.title = title; },
    report,
    ended: () => machine.step('ended'),
    keep(offset, bytes) {
      const began = performance.now();
      keeper.keep(offset, bytes);
      addTime(Delve.keepTimes, performance.now() - began);
    },
    keepPicture: (bytes) => { keeper.keepPicture(bytes).then((kept) => { if (kept) Delve.keptPictures++; }); },
    problem: (text) => note(text + '.'),
    progress: showProgress,
    drawn: showDrawn,
    failed: fail,
    ready() {
      machine.step('ready');
      prepareData().catch(() => {}).then(choose);
    },
  };

  // Anything thrown and not caught: while loading, a file that did not come.
  /** @param {unknown} error */
  function uncaught(error) {
    fail(machine.state() === 'loading' ? 'The game could not be loaded (' + bridge.describe(error) + ').'
                                         : 'Something went wrong: ' + bridge.describe(error));
  }
  window.addEventListener('error', (event) => uncaught(event.error || event.message));
  window.addEventListener('unhandledrejection', (event) => uncaught(event.reason));

  // Play again after Escape is a new game, not the one just left.
  byId('again').addEventListener('click', () => {
    carry.put({ action: 'new' }).catch(() => {}).then(() => location.reload());
  });

  return {
    start: () => bridge.load(handlers),
    fail,
    launch,
  };
}
