// The page's start: every part set up, then the program loaded (startup.js).
import './hooks.js';
import './keys.js';
import './touch.js';
import { queueKey } from './bridge.js';
import { Delve } from './hooks.js';
import { keepForOffline } from './app.js';
import { createCarry } from './carry.js';
import { createKeptStore } from './kept-store.js';
import { createKeeper } from './kept.js';
import { gamesControls } from './games.js';
import { ownControls, closeOwnDialog, playingName } from './own.js';
import { note } from './screen.js';
import { createStartup } from './startup.js';
import { describe } from './bridge.js';
import { watchBar } from './watch-bar.js';
import { shareControls } from './share-dialog.js';
import { hasLink } from './share.js';
import { hasDataLink, withoutData } from './data-link.js';

Delve.queueKey = queueKey;

/**
 * A seed from the address: index.html?seed=17 types "@17" and Enter once the
 * game runs.
 * @returns {string[]}
 */
function seedKeys() {
  const parameters = new URLSearchParams(location.search);
  const seed = parameters.get('seed');
  if (seed === null) return [];
  if (/^-?[0-9]{1,15}(\.[0-9]{1,6})?$/.test(seed)) return ['@', ...seed.split(''), '\r'];
  const shown = seed.length > 24 ? seed.slice(0, 24) + '\u2026' : seed;
  note('The seed "' + shown + '" in the address is not a number, so it was ignored.');
  return [];
}

/** @returns {Storage | undefined} */
function session() {
  try {
    return window.sessionStorage;
  } catch (error) {
    return undefined;
  }
}

keepForOffline();
const store = createKeptStore({ indexedDB: () => window.indexedDB, IDBKeyRange: window.IDBKeyRange,
                                locks: navigator.locks, now: Date.now,
                                every: (beat, ms) => { window.setInterval(beat, ms); },
                                marks: () => window.localStorage });
const keeper = createKeeper(store, { note, now: Date.now });
// Without a lock manager a game is held by a claim that the page renews: one
// that slept so long that another page took its game writes no more of it.
store.onLost((id) => {
  const current = keeper.current();
  if (current && current.id === id) keeper.refuse('another page has taken it on');
});
window.addEventListener('pagehide', (event) => { if (!event.persisted) store.release(); });
window.addEventListener('pageshow', (event) => { if (event.persisted) store.beat(); });
document.addEventListener('visibilitychange', () => { if (document.visibilityState === 'visible') store.beat(); });
// Listed (and pruned) while the program loads.
const listed = store.list(null).catch((error) => {
  keeper.refuse(describe(error));
  return [];
});
/** @type {ReturnType<typeof createStartup> | null} */
let startup = null;
const games = gamesControls({ store, keeper, closeOwnDialog, launch: (next) => startup && startup.launch(next) });
ownControls();
const sharing = shareControls();
// Playing on from a watched turn is a new game, kept as any new game is.
const watching = watchBar({
  share: sharing.open,
  playingOn: () => { if (!keeper.refused()) keeper.startNew(playingName()); },
});
// A shared link is watched instead of anything else this load offers; a
// dungeon link beside it is the data it is watched on.
const dataLink = hasDataLink(location.href) ? location.href : null;
const sharedLink = hasLink(withoutData(location.href)) ? withoutData(location.href) : null;
startup = createStartup({ store, keeper, carry: createCarry({ indexedDB: () => window.indexedDB, session: session() }),
                          listed, seedKeys: sharedLink ? [] : seedKeys(), games, watchBar: watching, sharedLink,
                          dataLink });
// A link pasted into the address of a page already open changes only its
// fragment: the page loads again to watch it, as a fresh page would.
window.addEventListener('hashchange', () => {
  if ((hasLink(location.href) || hasDataLink(location.href)) && Delve.state !== 'loading' && Delve.state !== 'preparing') location.reload();
});
if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
  startup.fail('This browser cannot run WebAssembly, which the game needs. ' +
               'A current browser, with WebAssembly not turned off, runs it.');
} else {
  startup.start();
}
