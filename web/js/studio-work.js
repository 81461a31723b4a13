// The studio's work: one data folder, held as its files' paths (relative to
// the folder, "res/gamedata.dat", "tiles/party/garr_001.til") and bytes, and
// kept in the browser as the games are, so a reload or a crash loses nothing.
//
// Two tabs share one work. Each save writes the whole folder in one
// transaction, with a revision one past the one it replaces, so a folder is
// never half one tab's and half the other's; the last save wins. A tab is
// told of another's save (watchWork) and shows that work when it has no
// edit of its own waiting to be kept, so the two follow each other.
import { openDatabase, transact } from './db.js';

/** @typedef {Map<string, Uint8Array>} StudioWork */
/** @typedef {{ revision: number, work: StudioWork }} KeptWork */

const DATABASE = 'delve-studio';
const CHANNEL = 'delve-studio';
// What a data folder holds: files below res/ or tiles/ (spelt in any case,
// as the game finds them), named as a folder may name them. Anything else
// in a stored work (a damaged store, another page's writing) is left out
// when it is read, and so are the game's own temporary files (".~").
const PATH = /^(res|tiles)(\/[^/\\\x00-\x1f:]+)+$/i;

/**
 * Whether `path` can be a file of the work: relative, below res/ or tiles/,
 * with no "." or ".." part, no empty part, no backslash, drive or control
 * character.
 * @param {string} path
 */
export function isWorkPath(path) {
  return typeof path === 'string' && PATH.test(path) &&
    !path.split('/').some((part) => part === '.' || part === '..' || part.startsWith('.~'));
}

/**
 * The work's paths in a fixed order (res/ first, then tiles/, each sorted),
 * so a zip or a listing of the same work is the same every time.
 * @param {StudioWork} work
 * @returns {string[]}
 */
export function workPaths(work) {
  return [...work.keys()].sort((a, b) => (a < b ? -1 : a > b ? 1 : 0));
}

/**
 * A copy whose bytes are its own: what the page edits later does not reach
 * what was kept, nor the other way round.
 * @param {StudioWork} work
 * @returns {StudioWork}
 */
export function copyWork(work) {
  return new Map(workPaths(work).map((path) => [path, new Uint8Array(/** @type {Uint8Array} */ (work.get(path)))]));
}

/**
 * Whether two works hold the same files with the same bytes.
 * @param {StudioWork} a @param {StudioWork} b
 */
export function sameWork(a, b) {
  if (a.size !== b.size) return false;
  for (const [path, bytes] of a) {
    const other = b.get(path);
    if (!other || other.length !== bytes.length) return false;
    for (let i = 0; i < bytes.length; i++) if (bytes[i] !== other[i]) return false;
  }
  return true;
}

/**
 * The record kept: a list rather than the Map itself, so what comes back can
 * be checked entry by entry.
 * @param {StudioWork} work @param {number} revision
 */
export function recordOf(work, revision) {
  return { revision, files: workPaths(work).map((path) => ({ path, bytes: work.get(path) })) };
}

/**
 * A kept record as a work; undefined when it is not one. Entries that are
 * not files of a data folder are left out.
 * @param {unknown} record
 * @returns {KeptWork | undefined}
 */
export function workOf(record) {
  const kept = /** @type {{ revision?: unknown, files?: unknown }} */ (record);
  if (!kept || typeof kept !== 'object' || !Array.isArray(kept.files)) return undefined;
  /** @type {StudioWork} */
  const work = new Map();
  for (const entry of kept.files) {
    const path = entry && entry.path;
    const bytes = entry && entry.bytes;
    if (!isWorkPath(path)) continue;
    if (bytes instanceof Uint8Array) work.set(path, bytes);
    else if (bytes instanceof ArrayBuffer) work.set(path, new Uint8Array(bytes));
  }
  const revision = Number.isSafeInteger(kept.revision) ? Number(kept.revision) : 0;
  return { revision, work };
}

/**
 * The work's keeping in one browser's storage.
 * @param {() => IDBFactory | undefined} indexedDB
 * @param {() => BroadcastChannel | undefined} [channel]  how tabs tell each other of a save
 */
export function createWorkStore(indexedDB, channel = () => undefined) {
  /**
   * @template T
   * @param {IDBTransactionMode} mode
   * @param {(store: IDBObjectStore) => (void | (() => T))} act
   */
  function stored(mode, act) {
    return openDatabase(indexedDB, DATABASE, 1, (db) => db.createObjectStore('work'))
      .then((db) => transact(db, ['work'], mode, (s) => act(s.work)).finally(() => db.close()));
  }

  /**
   * The work kept, with its revision; undefined when none is.
   * @returns {Promise<KeptWork | undefined>}
   */
  function load() {
    return stored('readonly', (store) => {
      const request = store.get('current');
      return () => workOf(request.result);
    });
  }

  /**
   * Keeps the work in place of the one kept; resolves with its revision,
   * rejects with the browser's reason when it keeps nothing.
   * @param {StudioWork} work
   * @returns {Promise<number>}
   */
  function save(work) {
    const copy = copyWork(work);
    let revision = 0;
    return stored('readwrite', (store) => {
      // Read and written in one transaction: two tabs saving at once get
      // two revisions, one after the other.
      const request = store.get('current');
      request.onsuccess = () => {
        const kept = workOf(request.result);
        revision = (kept ? kept.revision : 0) + 1;
        store.put(recordOf(copy, revision), 'current');
      };
      return () => revision;
    }).then(() => {
      tell({ revision });
      return revision;
    });
  }

  /** Forgets the work kept. @returns {Promise<void>} */
  const forget = () => stored('readwrite', (store) => { store.delete('current'); }).then(() => tell({ revision: 0 }));

  // One channel for the store's telling and listening: a channel never
  // hears its own messages, so a tab is told only of the others' saves.
  /** @type {BroadcastChannel | undefined | null} */
  let line = null;
  const opened = () => {
    if (line === null) {
      try { line = channel(); } catch (error) { line = undefined; }
    }
    return line;
  };

  /** @param {{ revision: number }} message */
  function tell(message) {
    try {
      const open = opened();
      if (open) open.postMessage(message);
    } catch (error) { /* a browser without channels has one tab's worth of studio */ }
  }

  /**
   * Calls `changed(revision)` when another tab keeps (or forgets) the work;
   * returns a function that stops listening.
   * @param {(revision: number) => void} changed
   * @returns {() => void}
   */
  function watch(changed) {
    const open = opened();
    if (!open) return () => {};
    /** @param {MessageEvent} event */
    const heard = (event) => {
      const revision = event && event.data && event.data.revision;
      if (Number.isSafeInteger(revision)) changed(revision);
    };
    open.onmessage = heard;
    return () => { if (open.onmessage === heard) open.onmessage = null; };
  }

  return { load, save, forget, watch };
}

const pageStore = createWorkStore(
  () => (typeof indexedDB === 'undefined' ? undefined : indexedDB),
  () => (typeof BroadcastChannel === 'function' ? new BroadcastChannel(CHANNEL) : undefined));

/**
 * The work kept in this browser, or undefined when none is (or the
 * browser keeps nothing).
 * @returns {Promise<StudioWork | undefined>}
 */
export function loadWork() {
  return pageStore.load().then((kept) => (kept && kept.work.size ? kept.work : undefined));
}

/**
 * Keeps the work (the whole folder, in place of the one kept); rejects with
 * the browser's reason when it keeps nothing.
 * @param {StudioWork} work
 * @returns {Promise<void>}
 */
export function saveWork(work) {
  return pageStore.save(work).then(() => undefined);
}

/** Forgets the work kept. */
export const forgetWork = () => pageStore.forget();

/**
 * Calls `changed()` when another tab keeps the work; returns the function
 * that stops it.
 * @param {() => void} changed
 */
export const watchWork = (changed) => pageStore.watch(() => changed());

/**
 * Every file below `root` in the program's file system, as a work.
 * @param {string} root
 * @returns {Promise<StudioWork>}
 */
export async function folderWork(root) {
  const { studio } = await import('./bridge.js');
  await studio.loaded();
  /** @type {StudioWork} */
  const work = new Map();
  for (const path of studio.list(root)) {
    // The game writes its encounter panel's words beside the data it plays.
    if (!isWorkPath(path) || path.toLowerCase() === 'res/encounter.txt') continue;
    const bytes = studio.read(root + '/' + path);
    if (bytes) work.set(path, bytes);
  }
  return work;
}

/**
 * The data folder the game ships with.
 * @returns {Promise<StudioWork>}
 */
export const shippedWork = () => folderWork('/game');
