// Kept games in the browser's storage: one entry a game ('games'), its
// recording in pieces keyed [id, offset] ('pieces') and a picture of it
// ('pictures'); the list, pruned to the last 20; and the locks that keep a
// game to one page at a time. Nothing here touches the page or the program,
// so it runs as well on an IndexedDB in memory.
import { openDatabase, transact } from './db.js';
import { createClaims } from './claims.js';

/** @typedef {import('./summary.js').Game} Game */

/**
 * What the store runs on: the page's own, or stand-ins.
 * @typedef {object} StoreEnv
 * @property {() => IDBFactory | undefined} indexedDB
 * @property {typeof IDBKeyRange} IDBKeyRange
 * @property {LockManager | undefined} locks
 * @property {() => number} now
 * @property {(beat: () => void, ms: number) => void} [every]  runs `beat` every `ms` while the page lives
 * @property {() => import('./claims.js').Marks | undefined} [marks]  localStorage, where the page has it
 */

export const KEPT_GAMES = 20;
// Where the browser cannot say which games are played, a game on the title
// is taken for abandoned only once nothing was kept of it for so long.
export const IDLE_MS = 24 * 60 * 60 * 1000;
const STORES = ['games', 'pieces', 'pictures'];

/** @param {number} id */
export function lockName(id) {
  return 'delve-game-' + id;
}

/** @param {StoreEnv} env */
export function createKeptStore(env) {
  /** @type {Promise<IDBDatabase> | null} */
  let opened = null;

  function database() {
    // Version 2 added the pictures kept beside the recordings.
    opened = opened || openDatabase(env.indexedDB, 'delve-games', 2, (db) => {
      const has = db.objectStoreNames;
      if (!has.contains('games')) db.createObjectStore('games', { keyPath: 'id' });
      if (!has.contains('pieces')) db.createObjectStore('pieces');
      if (!has.contains('pictures')) db.createObjectStore('pictures');
    });
    return opened;
  }

  /**
   * @template T
   * @param {IDBTransactionMode} mode
   * @param {(stores: Record<string, IDBObjectStore>) => (void | (() => T))} act
   */
  function all(mode, act) {
    return database().then((db) => transact(db, STORES, mode, act));
  }

  /** @param {number} id */
  const piecesOf = (id) => env.IDBKeyRange.bound([id, 0], [id, Infinity]);

  /** @param {Record<string, IDBObjectStore>} s @param {number} id */
  function drop(s, id) {
    s.games.delete(id);
    s.pieces.delete(piecesOf(id));
    s.pictures.delete(id);
  }

  /**
   * The names of the locks (or claims) held now by any page of this
   * browser, or null where it cannot tell.
   * @returns {Promise<Set<string> | null>}
   */
  function held() {
    if (!hasLockManager()) {
      return claims.live().then((ids) => new Set(ids.map(lockName)), () => null);
    }
    if (!env.locks || !env.locks.query) return Promise.resolve(null);
    return env.locks.query().then(
      (state) => new Set((state.held || []).map((lock) => String(lock.name))),
      () => null);
  }

  /**
   * The kept games, the last played first. A game that never got past the
   * title screen is no kept game: it is dropped, as are those beyond the last
   * 20, but never one that a page still plays. A game waits on its title
   * before it has a seed, and dropping it there would lose all of it that is
   * played afterwards.
   * @param {number | null} ownId  the game this page plays, if any
   * @returns {Promise<Game[]>}
   */
  function list(ownId) {
    return held().then((locks) => {
      const now = env.now();
      /** @param {Game} game */
      const playing = (game) => {
        if (game.id === ownId) return true;
        if (locks && locks.has(lockName(game.id))) return true;
        // Claims are known only of pages that make them: a page of an older
        // version in another tab may play a game without one.
        if (locks && hasLockManager()) return false;
        return now - game.played < IDLE_MS;
      };
      return all('readwrite', (s) => {
        const request = s.games.getAll();
        /** @type {Game[]} */
        const listed = [];
        request.onsuccess = () => {
          /** @type {Game[]} */
          const games = request.result;
          games.sort((a, b) => b.played - a.played).forEach((game) => {
            const keep = playing(game) || (game.seed !== null && listed.length < KEPT_GAMES);
            if (keep && game.seed !== null) listed.push(game);
            if (!keep) drop(s, game.id);
          });
        };
        return () => listed;
      });
    }).then((games) => games || []);
  }

  /**
   * The whole recording of a game, its pieces in order.
   * @param {number} id
   * @returns {Promise<Uint8Array>}
   */
  function read(id) {
    return all('readonly', (s) => {
      const request = s.pieces.getAll(piecesOf(id));
      return () => {
        /** @type {Uint8Array[]} */
        const pieces = request.result;
        const bytes = new Uint8Array(pieces.reduce((sum, piece) => sum + piece.length, 0));
        let at = 0;
        for (const piece of pieces) {
          bytes.set(piece, at);
          at += piece.length;
        }
        return bytes;
      };
    }).then((bytes) => bytes || new Uint8Array(0));
  }

  /**
   * A game's entry, its recording and its picture (undefined where none is kept).
   * @param {number} id
   * @returns {Promise<{ game: Game | undefined, bytes: Uint8Array, picture: Uint8Array | undefined }>}
   */
  function readWhole(id) {
    return all('readonly', (s) => {
      const game = s.games.get(id);
      const picture = s.pictures.get(id);
      return () => ({ game: game.result, picture: picture.result });
    }).then((found) => read(id).then((bytes) => ({
      game: found && found.game, bytes, picture: found && found.picture })));
  }

  /**
   * Keeps `piece` at `offset` of the game's recording. When what is kept
   * ends anywhere else than `offset` (a part was lost, or the storage lost
   * its beginning), `whole` gives all of the recording to keep instead, or
   * null when the page no longer has it: then nothing is written and this
   * resolves to false.
   * @param {Game} entry  the game as it is after this piece
   * @param {number} offset
   * @param {Uint8Array} piece
   * @param {() => Uint8Array | null} whole
   * @returns {Promise<boolean>}
   */
  function append(entry, offset, piece, whole) {
    return all('readwrite', (s) => {
      const kept = s.games.get(entry.id);
      let wrote = false;
      kept.onsuccess = () => {
        let from = offset, bytes = piece;
        if (offset > 0 && (!kept.result || kept.result.length !== offset)) {
          const all = whole();
          if (!all) return;
          from = 0;
          bytes = all;
        }
        // Past `from` nothing kept still counts.
        s.pieces.delete(env.IDBKeyRange.bound([entry.id, from], [entry.id, Infinity]));
        s.pieces.put(bytes, [entry.id, from]);
        s.games.put(entry);
        wrote = true;
      };
      return () => wrote;
    }).then((wrote) => !!wrote);
  }

  /** @param {number} id @param {Uint8Array} bytes */
  function putPicture(id, bytes) {
    return all('readwrite', (s) => { s.pictures.put(bytes, id); });
  }

  /** @param {number} id */
  function remove(id) {
    return all('readwrite', (s) => drop(s, id));
  }

  /** @type {Set<number>} */
  const mine = new Set();  // the games this page holds
  // Where the browser has no lock manager (a page served over plain HTTP
  // from anywhere but this machine), a claim in the storage stands in.
  const claims = createClaims(env);
  const hasLockManager = () => !!(env.locks && env.locks.request);

  /**
   * Takes the game for this page, as the window plays a game in one process
   * at a time: two pages writing one recording would spoil it. Resolves to
   * false when another page holds it, and when the browser cannot say
   * (a lock it refused to take is never one granted); the lock goes with
   * the page.
   * @param {number} id
   * @returns {Promise<boolean>}
   */
  function lock(id) {
    if (mine.has(id)) return Promise.resolve(true);
    if (!hasLockManager()) {
      return claims.take(id).then((taken) => {
        if (taken) mine.add(id);
        return taken;
      });
    }
    const locks = /** @type {LockManager} */ (env.locks);
    return new Promise((resolve) => {
      try {
        locks.request(lockName(id), { ifAvailable: true }, (granted) => {
          if (granted) mine.add(id);
          resolve(!!granted);
          return granted ? new Promise(() => {}) : null;
        }).catch(() => resolve(false));
      } catch (error) {
        resolve(false);
      }
    });
  }

  return {
    database, list, read, readWhole, append, putPicture, remove, lock,
    /**
     * Tells `then` of a game this page held and another page has taken
     * since (this page was frozen or asleep past its claim): this page must
     * write no more of it.
     * @param {(id: number) => void} then
     */
    onLost: (then) => claims.onLost((id) => {
      mine.delete(id);
      then(id);
    }),
    /** The page goes for good: its claims go with it at once, not once stale. */
    release: () => claims.release(),
    /** Renews this page's claims now (a page back from sleep finds out at once whether it lost one). */
    beat: () => claims.beat(),
  };
}

/** @typedef {ReturnType<typeof createKeptStore>} KeptStore */
