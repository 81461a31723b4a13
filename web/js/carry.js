// The player's choice carried over a reload: what to play next, when the
// program has already played something this load (it plays one thing a
// load). The choice itself goes in sessionStorage; a recording opened from
// a file goes in IndexedDB beside it, as sessionStorage holds only a few
// megabytes of text and a long game's recording outgrows it.
import { openDatabase, transact } from './db.js';

/**
 * @typedef {{ action: 'new' }
 *   | { action: 'continue', id: number }
 *   | { action: 'watch', id: number, name: string }
 *   | { action: 'watch-file', name: string, bytes: Uint8Array }} Next
 */

const KEY = 'delve-next';

/**
 * @param {object} env
 * @param {() => IDBFactory | undefined} env.indexedDB
 * @param {Storage | undefined} env.session
 */
export function createCarry(env) {
  /**
   * @template T
   * @param {IDBTransactionMode} mode
   * @param {(store: IDBObjectStore) => (void | (() => T))} act
   */
  function stored(mode, act) {
    return openDatabase(env.indexedDB, 'delve-handover', 1, (db) => db.createObjectStore('next'))
      .then((db) => transact(db, ['next'], mode, (s) => act(s.next)).finally(() => db.close()));
  }

  /**
   * Keeps `next` for the page's next load. Rejects, keeping nothing, when
   * the browser will not keep it.
   * @param {Next} next
   * @returns {Promise<void>}
   */
  function put(next) {
    const write = (/** @type {object} */ choice) => {
      if (!env.session) throw new Error('it keeps nothing across a reload');
      env.session.setItem(KEY, JSON.stringify(choice));
    };
    if (next.action !== 'watch-file') return Promise.resolve().then(() => write(next));
    return stored('readwrite', (store) => { store.put(next.bytes, 'recording'); })
      .then(() => write({ action: next.action, name: next.name }));
  }

  /**
   * What was kept for this load, once: taken, it is gone. Null when nothing
   * was, or what was cannot be read any more.
   * @returns {Promise<Next | null>}
   */
  function take() {
    /** @type {any} */
    let next = null;
    try {
      next = JSON.parse((env.session && env.session.getItem(KEY)) || 'null');
      if (env.session) env.session.removeItem(KEY);
    } catch (error) { /* nothing carried over */ }
    if (!next || typeof next.action !== 'string') return Promise.resolve(null);
    if (next.action !== 'watch-file') return Promise.resolve(next);
    return stored('readwrite', (store) => {
      const request = store.get('recording');
      store.delete('recording');
      return () => request.result;
    }).then((bytes) => (bytes instanceof Uint8Array ? { action: 'watch-file', name: String(next.name), bytes } : null),
            () => null);
  }

  return { put, take };
}
