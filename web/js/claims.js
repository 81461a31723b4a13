// Claims on kept games, for browsers without a lock manager (a page served
// over plain HTTP from another machine has no navigator.locks). A claim is
// an entry in the storage that names the page holding the game and when it
// last said it still does; a page renews its claims every BEAT_MS, and one
// not renewed for STALE_MS belongs to a page that is gone (killed, crashed,
// or asleep so long that it has to give the game up). Taking a claim reads
// and writes it in one transaction, and the browser runs transactions over
// the same store one after another, so of two pages only one takes it.
import { openDatabase, transact } from './db.js';

// A background tab's timers may run as seldom as once a minute, so a claim
// is stale only after two of those have gone by without a word.
export const BEAT_MS = 10 * 1000;
export const STALE_MS = 2 * 60 * 1000;

/**
 * @typedef {{ id: number, page: string, beat: number }} Claim
 */

/**
 * @param {object} env
 * @param {() => IDBFactory | undefined} env.indexedDB
 * @param {() => number} env.now
 * @param {(beat: () => void, ms: number) => void} [env.every]
 */
export function createClaims(env) {
  // Which page this is. Not crypto.randomUUID: an insecure page lacks it.
  const page = env.now().toString(36) + '-' + Math.random().toString(36).slice(2);
  /** @type {Set<number>} */
  const held = new Set();
  /** @type {((id: number) => void)[]} */
  const losers = [];
  /** @type {Promise<IDBDatabase> | null} */
  let opened = null;
  let beating = false;

  /**
   * @template T
   * @param {IDBTransactionMode} mode
   * @param {(store: IDBObjectStore) => (void | (() => T))} act
   */
  function claims(mode, act) {
    // A database of its own: the kept games' one is not upgraded for it, so
    // a tab of an older page open meanwhile blocks nothing.
    opened = opened || openDatabase(env.indexedDB, 'delve-claims', 1, (db) => {
      db.createObjectStore('claims', { keyPath: 'id' });
    });
    const database = opened;
    return database.then((db) => transact(db, ['claims'], mode, (s) => act(s.claims)), (error) => {
      if (opened === database) opened = null;  // the next try opens it afresh
      throw error;
    });
  }

  /** @param {Claim | undefined} claim */
  const fresh = (claim) => !!claim && env.now() - claim.beat < STALE_MS;

  /**
   * Takes the game for this page; false when another page holds it, or the
   * storage refused (then nothing can say no other page plays it).
   * @param {number} id
   * @returns {Promise<boolean>}
   */
  function take(id) {
    return claims('readwrite', (store) => {
      const request = store.get(id);
      let taken = false;
      request.onsuccess = () => {
        /** @type {Claim | undefined} */
        const claim = request.result;
        if (claim && claim.page !== page && fresh(claim)) return;
        store.put({ id, page, beat: env.now() });
        taken = true;
      };
      return () => taken;
    }).then((taken) => {
      if (taken) {
        held.add(id);
        startBeating();
      }
      return !!taken;
    }, () => false);
  }

  /**
   * Renews this page's claims. A claim another page has taken meanwhile is
   * lost: this page was asleep past STALE_MS and the game is that page's now.
   * @returns {Promise<void>}
   */
  function beat() {
    if (!held.size) return Promise.resolve();
    const ids = [...held];
    return claims('readwrite', (store) => {
      /** @type {number[]} */
      const lost = [];
      for (const id of ids) {
        const request = store.get(id);
        request.onsuccess = () => {
          /** @type {Claim | undefined} */
          const claim = request.result;
          if (claim && claim.page !== page) lost.push(id);
          else store.put({ id, page, beat: env.now() });
        };
      }
      return () => lost;
    }).then((lost) => {
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
      return () => /** @type {Claim[]} */ (request.result).filter(fresh).map((claim) => claim.id);
    }).then((ids) => ids || []);
  }

  /** Gives up this page's claims, as the page goes. */
  function release() {
    if (!held.size) return Promise.resolve();
    const ids = [...held];
    held.clear();
    return claims('readwrite', (store) => {
      for (const id of ids) {
        const request = store.get(id);
        request.onsuccess = () => {
          if (request.result && request.result.page === page) store.delete(id);
        };
      }
    }).catch(() => {});
  }

  return {
    take, beat, live, release,
    /** @param {(id: number) => void} tell */
    onLost: (tell) => { losers.push(tell); },
  };
}
