// The page's one way into IndexedDB. Every failure comes back the same way,
// as a rejected promise with an Error that says why in words a player can
// read; what a refusal means (a game not kept, own data not found) is each
// caller's to decide.

/**
 * @callback Upgrade
 * @param {IDBDatabase} db
 * @param {number} oldVersion
 * @returns {void}
 */

/**
 * Opens `name` at `version`, upgrading it with `upgrade`. A tab still open
 * on an older version of the page holds the database and cannot be asked to
 * let go: that is a refusal too, and should the old tab close later the
 * connection that then opens is closed at once, so it holds nothing.
 * @param {() => IDBFactory | undefined} factory  read when opening: a browser may refuse even that
 * @param {string} name
 * @param {number} version
 * @param {Upgrade} upgrade
 * @returns {Promise<IDBDatabase>}
 */
export function openDatabase(factory, name, version, upgrade) {
  return new Promise((resolve, reject) => {
    /** @type {IDBOpenDBRequest} */
    let request;
    try {
      const databases = factory();
      if (!databases) throw new Error('it has no storage for them');
      request = databases.open(name, version);
    } catch (error) {
      reject(asError(error));
      return;
    }
    let settled = false;
    request.onupgradeneeded = (event) => upgrade(request.result, event.oldVersion);
    request.onblocked = () => {
      settled = true;
      reject(new Error('a tab with an older version of this page still holds them; close it and reload'));
    };
    request.onsuccess = () => {
      const db = request.result;
      if (settled) {
        db.close();
        return;
      }
      settled = true;
      // A newer page in another tab wants the storage changed: this one
      // lets go, and its next transaction fails as any refusal does.
      db.onversionchange = () => db.close();
      resolve(db);
    };
    request.onerror = (event) => {
      event.preventDefault();
      settled = true;
      reject(asError(request.error));
    };
  });
}

/**
 * One transaction over `stores`. `act` gets the stores by name and may return
 * a function that gives the result once the transaction is complete; a
 * transaction that fails, or cannot start (the database closed under it),
 * rejects.
 * @template T
 * @param {IDBDatabase} db
 * @param {string[]} stores
 * @param {IDBTransactionMode} mode
 * @param {(stores: Record<string, IDBObjectStore>) => (void | (() => T))} act
 * @returns {Promise<T | undefined>}
 */
export function transact(db, stores, mode, act) {
  return new Promise((resolve, reject) => {
    /** @type {IDBTransaction} */
    let transaction;
    /** @type {void | (() => T)} */
    let result;
    try {
      transaction = db.transaction(stores, mode);
      /** @type {Record<string, IDBObjectStore>} */
      const named = {};
      for (const store of stores) named[store] = transaction.objectStore(store);
      result = act(named);
    } catch (error) {
      reject(asError(error));
      return;
    }
    transaction.oncomplete = () => resolve(result ? result() : undefined);
    // A request that fails aborts the whole transaction (its error is left
    // to do so): nothing of it is kept, so a recording's piece and its
    // game's entry are written together or not at all.
    transaction.onabort = () => reject(asError(transaction.error || 'the browser refused to keep it'));
  });
}

/**
 * The error as the player reads it. A browser's own words on a full disk
 * may name the files of its storage on this machine, which mean nothing to
 * the player and are nobody else's business (a note may be shown or
 * reported): those become plain words.
 * @param {unknown} error
 * @returns {Error}
 */
export function asError(error) {
  const name = error && typeof error === 'object' ? String(/** @type {{ name?: unknown }} */ (error).name || '') : '';
  const message = error && typeof error === 'object' ? /** @type {{ message?: unknown }} */ (error).message : undefined;
  const text = message !== undefined ? String(message) : String(error);
  if (name === 'QuotaExceededError' || /quota|no space|disk (is )?full|ENOSPC/i.test(text)) {
    return new Error('it has no room left');
  }
  // A path: a drive or a slash, then at least one more folder.
  if (/(^|[\s'"(=])([A-Za-z]:)?[\\/][^\s\\/]+[\\/]/.test(text)) {
    return new Error('its storage could not be written');
  }
  if (error instanceof Error) return error;
  return new Error(text || 'unknown error');
}
