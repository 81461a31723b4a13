// Stand-ins for what the page gets from the browser: an IndexedDB in memory
// (a fresh one for each test) and a lock manager shared by the "tabs" of one
// test.
import { IDBFactory, IDBKeyRange } from 'fake-indexeddb';
import { createKeptStore } from '../js/kept-store.js';

export function fakeLocks() {
  /** @type {Map<string, boolean>} */
  const held = new Map();
  return {
    held,
    /** @param {string} name @param {{ ifAvailable?: boolean }} options @param {(lock: object | null) => unknown} grant */
    request(name, options, grant) {
      if (held.has(name)) return Promise.resolve(grant(null));
      held.set(name, true);
      return Promise.resolve(grant({ name }));
    },
    query() {
      return Promise.resolve({ held: [...held.keys()].map((name) => ({ name })) });
    },
  };
}

/** A browser: its storage, its locks and its clock, for one or more tabs. */
/** localStorage in memory. */
export function fakeStorage() {
  /** @type {Map<string, string>} */
  const items = new Map();
  return {
    items,
    get length() { return items.size; },
    /** @param {number} i */
    key: (i) => [...items.keys()][i] ?? null,
    /** @param {string} key */
    getItem: (key) => items.get(key) ?? null,
    /** @param {string} key @param {string} value */
    setItem: (key, value) => { items.set(key, String(value)); },
    /** @param {string} key */
    removeItem: (key) => { items.delete(key); },
  };
}

export function fakeBrowser({ locks = fakeLocks(), now = 1_000_000_000_000 } = {}) {
  const browser = {
    indexedDB: new IDBFactory(),
    localStorage: fakeStorage(),
    locks,
    clock: now,
    /**
     * A tab's store of kept games. Its heartbeat, where it has one, is
     * `tab.beats`, run by the test rather than by a timer.
     * @param {{ withoutLocks?: boolean, locks?: object, withoutLocalStorage?: boolean }} [options]
     */
    tab(options = {}) {
      /** @type {(() => void)[]} */
      const beats = [];
      const store = createKeptStore({
        indexedDB: () => browser.indexedDB,
        IDBKeyRange,
        locks: options.withoutLocks ? undefined : /** @type {any} */ (options.locks || browser.locks),
        now: () => browser.clock,
        every: (beat) => { beats.push(beat); },
        marks: () => (options.withoutLocalStorage ? undefined : browser.localStorage),
      });
      return Object.assign(store, { beats });
    },
  };
  return browser;
}

/** @param {string} text */
export const bytes = (text) => new TextEncoder().encode(text);
/** @param {Uint8Array} b */
export const text = (b) => new TextDecoder().decode(b);
