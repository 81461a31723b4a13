// The player's own data kept in the browser between the choice and the
// reload that plays it. The files go in as the browser's own Blobs, which
// it can keep without reading them into memory; a browser that refuses a
// Blob in IndexedDB (WebKit does in a session that keeps nothing on disk)
// is given their bytes instead. Either comes back as Blobs.
import { openDatabase, transact } from './db.js';

/** @typedef {import('./own-import.js').Source} Source */

/**
 * @param {() => IDBFactory | undefined} indexedDB
 */
export function createOwnKeep(indexedDB) {
  /**
   * @template T
   * @param {IDBTransactionMode} mode
   * @param {(store: IDBObjectStore) => (void | (() => T))} act
   */
  function stored(mode, act) {
    return openDatabase(indexedDB, 'delve-own-data', 1, (db) => db.createObjectStore('source'))
      .then((db) => transact(db, ['source'], mode, (s) => act(s.source)).finally(() => db.close()));
  }

  /** @param {object} value */
  const write = (value) => stored('readwrite', (store) => { store.put(value, 'current'); });

  /**
   * Keeps the source; rejects with the browser's reason when it keeps
   * neither its files nor their bytes.
   * @param {Source} source
   * @returns {Promise<void>}
   */
  function put(source) {
    return write(source).catch(() => bytesOf(source).then(write));
  }

  /**
   * The source kept, or undefined.
   * @returns {Promise<Source | undefined>}
   */
  function get() {
    return stored('readonly', (store) => {
      const request = store.get('current');
      return () => request.result;
    }).then(blobsOf);
  }

  const forget = () => stored('readwrite', (store) => { store.delete('current'); });

  return { put, get, forget };
}

/**
 * @param {Source} source
 * @returns {Promise<object>}
 */
function bytesOf(source) {
  const read = (/** @type {Blob} */ blob) => blob.arrayBuffer();
  if (source.kind !== 'folder') {
    return Promise.all(source.files.map(read)).then((files) => ({ kind: source.kind, name: source.name, files }));
  }
  return Promise.all(source.files.map((entry) => read(entry.file).then((file) => ({ path: entry.path, file }))))
    .then((files) => ({ kind: source.kind, name: source.name, files }));
}

/**
 * @param {any} kept
 * @returns {Source | undefined}
 */
function blobsOf(kept) {
  if (!kept || !Array.isArray(kept.files)) return undefined;
  const blob = (/** @type {any} */ file) => (file instanceof Blob ? file : new Blob([file]));
  if (kept.kind === 'zip' || kept.kind === 'link') {
    return { kind: kept.kind, name: String(kept.name), files: kept.files.map(blob) };
  }
  return { kind: 'folder', name: String(kept.name),
           files: kept.files.map((/** @type {any} */ entry) => ({ path: String(entry.path), file: blob(entry.file) })) };
}
