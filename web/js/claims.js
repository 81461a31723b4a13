// Claims on kept games, for browsers without a lock manager (a page served
// over plain HTTP from another machine has no navigator.locks). A claim is
// an entry in the storage, one a page and game, that says when the page
// last said it still plays the game; a page renews its claims every
// BEAT_MS, and one not renewed for STALE_MS belongs to a page that is gone
// (killed, crashed, or asleep so long that it has to give the game up).
// Taking a claim reads the game's claims and writes one in a single
// transaction, and the browser runs transactions over the same store one
// after another, so of two pages only one takes it.
//
// A page that closes says so in localStorage: a browser drops a write to
// IndexedDB begun as the page goes as often as not, and a localStorage one
// is made there and then. Where there is no localStorage, a closed page's
// claims go stale like a killed one's.
import { openDatabase, transact } from './db.js';

// A background tab's timers may run as seldom as once a minute, so a claim
// is stale only after two of those have gone by without a word.
export const BEAT_MS = 10 * 1000;
export const STALE_MS = 2 * 60 * 1000;

/**
 * @typedef {{ id: number, page: string, beat: number }} Claim
 * @typedef {Pick<Storage, 'getItem' | 'setItem' | 'removeItem' | 'key' | 'length'>} Marks
 */

const GONE = 'delve-claims-gone-';  // and the page: it closed, at the time given

/**
 * @param {object} env
 * @param {() => IDBFactory | undefined} env.indexedDB
 * @param {typeof IDBKeyRange} env.IDBKeyRange
 * @param {() => number} env.now
 * @param {(beat: () => void, ms: number) => void} [env.every]
 * @param {() => Marks | undefined} [env.marks]  localStorage, where the page has it
 */
export function createClaims(env) {
  // Which page this is. Not crypto.randomUUID: an insecure page lacks it.
  const page = env.now().toString(36) + '-' + Math.random().toString(36).slice(2);
  /** @type {Map<number, number>} */
  const held = new Map();  // each game this page holds, and when it last renewed its claim
  /** @type {((id: number) => void)[]} */
  const losers = [];
  /** @type {Promise<IDBDatabase> | null} */
  let opened = null;
  let beating = false;

  /** @returns {Marks | undefined} */
  function marks() {
    try {
      return env.marks && env.marks();
    } catch (error) {
      return undefined;  // refused, as in some private windows
    }
  }

  /**
   * @template T
   * @param {IDBTransactionMode} mode
   * @param {(store: IDBObjectStore) => (void | (() => T))} act
   */
  function claims(mode, act) {
    // A database of its own: the kept games' one is not upgraded for it, so
    // a tab of an older page open meanwhile blocks nothing.
    opened = opened || openDatabase(env.indexedDB, 'delve-claims', 1, (db) => {
      db.createObjectStore('claims', { keyPath: ['id', 'page'] });
    });
    const database = opened;
    return database.then((db) => transact(db, ['claims'], mode, (s) => act(s.claims)), (error) => {
      if (opened === database) opened = null;  // the next try opens it afresh
      throw error;
    });
  }

  /** @param {number} id */
  const claimsOf = (id) => env.IDBKeyRange.bound([id, ''], [id, '\uffff']);

  /** @param {Claim} claim  whether it still holds its game: renewed lately, by a page that has not closed */
  function holds(claim) {
    if (env.now() - claim.beat >= STALE_MS) return false;
    const marked = marks();
    try {
      return !marked || marked.getItem(GONE + claim.page) === null;
    } catch (error) {
      return true;
    }
  }

  /** Forgets pages closed so long ago that no claim of theirs can be fresh. */
  function forgetClosed() {
    const marked = marks();
    if (!marked) return;
    try {
      for (let i = marked.length - 1; i >= 0; i--) {
        const key = marked.key(i);
        if (key && key.startsWith(GONE) && !(env.now() - Number(marked.getItem(key)) < STALE_MS)) {
          marked.removeItem(key);
        }
      }
    } catch (error) { /* kept for another time */ }
  }

  /**
   * Takes the game for this page; false when another page holds it, or the
   * storage refused (then nothing can say no other page plays it).
   * @param {number} id
   * @returns {Promise<boolean>}
   */
  function take(id) {
    const beat = env.now();
    return claims('readwrite', (store) => {
      const request = store.getAll(claimsOf(id));
      let taken = false;
      request.onsuccess = () => {
        const others = /** @type {Claim[]} */ (request.result).filter((claim) => claim.page !== page);
        if (others.some(holds)) return;
        // What pages gone left behind goes with this claim.
        for (const claim of others) store.delete([id, claim.page]);
        store.put({ id, page, beat });
        taken = true;
      };
      return () => taken;
    }).then((taken) => {
      if (taken) {
        held.set(id, beat);
        forgetClosed();
        startBeating();
      }
      return !!taken;
    }, () => false);
  }

  /**
   * Renews this page's claims. A game that another page claimed after this
   * one last renewed its claim is lost: this page was asleep past STALE_MS,
   * and the game is the other page's now (closed or not since, its turns
   * are in the recording).
   * @returns {Promise<void>}
   */
  function beat() {
    if (!held.size) return Promise.resolve();
    const now = env.now();
    const games = [...held];
    return claims('readwrite', (store) => {
      /** @type {number[]} */
      const lost = [];
      for (const [id, last] of games) {
        const request = store.getAll(claimsOf(id));
        request.onsuccess = () => {
          /** @type {Claim[]} */
          const found = request.result;
          if (found.some((claim) => claim.page !== page && claim.beat > last)) {
            store.delete([id, page]);
            lost.push(id);
          } else {
            store.put({ id, page, beat: now });
          }
        };
      }
      return () => lost;
    }).then((lost) => {
      for (const [id] of games) if (held.has(id)) held.set(id, now);
      for (const id of lost || []) {
        held.delete(id);
        losers.forEach((tell) => tell(id));
      }
    }, () => { /* the next beat tries again; a claim not renewed only goes stale */ });
  }

  function startBeating() {
    if (beating || !env.every) return;
    beating = true;
    env.every(() => { beat(); }, BEAT_MS);
  }

  /**
   * The games some page holds now (this one's too).
   * @returns {Promise<number[]>}
   */
  function live() {
    return claims('readonly', (store) => {
      const request = store.getAll();
      return () => /** @type {Claim[]} */ (request.result).filter(holds).map((claim) => claim.id);
    }).then((ids) => ids || []);
  }

  /** Gives up this page's claims, as the page goes. */
  function release() {
    if (!held.size) return;
    const ids = [...held.keys()];
    held.clear();
    const marked = marks();
    try {
      if (marked) marked.setItem(GONE + page, String(env.now()));
    } catch (error) { /* its claims go stale instead */ }
    // Tidier where the browser lets it through; the mark above is what counts.
    claims('readwrite', (store) => { for (const id of ids) store.delete([id, page]); }).catch(() => {});
  }

  return {
    take, beat, live, release,
    /** @param {(id: number) => void} tell */
    onLost: (tell) => { losers.push(tell); },
  };
}
