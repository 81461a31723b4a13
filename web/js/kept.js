// The game this page plays, kept as it is played. The program writes its
// recording as the window does and hands the page the new bytes before it
// waits for the next key (keep); they go to the store one piece a key batch,
// so a reload, a closed tab or a browser restart loses at most the batch
// being played. Where the browser keeps nothing (a private window, no room
// left) the game plays on and the player is told once.
import { summarize } from './summary.js';

/** @typedef {import('./summary.js').Game} Game */
/** @typedef {import('./kept-store.js').KeptStore} KeptStore */

/**
 * @param {KeptStore} store
 * @param {object} tell
 * @param {(text: string) => void} tell.note   a line for the player
 * @param {() => number} tell.now              the time, in ms since 1970
 */
export function createKeeper(store, tell) {
  /** @type {Game | null} */
  let game = null;
  let refused = false;
  let stored = 0;       // bytes of this game the browser has taken
  // The whole recording as handed over so far, so that storage that lost its
  // beginning (a page of an older version dropped it, say) can be given all
  // of it again.
  let copy = { bytes: new Uint8Array(0), length: 0 };

  /** @param {string} why */
  function refuse(why) {
    if (refused) return;
    refused = true;
    tell.note(stored > 0
      ? 'This browser keeps no more of this game (' + why + '): it is kept as far as it got.'
      : 'Games cannot be kept in this browser (' + why + '), so this one will not be kept.');
  }

  /**
   * Puts `bytes` at `offset` of the copy, dropping what lay past it; false
   * when the copy has a gap before `offset` and so is no longer whole.
   * @param {number} offset
   * @param {Uint8Array} bytes
   */
  function copyPut(offset, bytes) {
    if (offset > copy.length) return false;
    const end = offset + bytes.length;
    if (end > copy.bytes.length) {
      const grown = new Uint8Array(Math.max(end, 2 * copy.bytes.length, 65536));
      grown.set(copy.bytes.subarray(0, offset));
      copy.bytes = grown;
    }
    copy.bytes.set(bytes, offset);
    copy.length = end;
    return true;
  }

  /**
   * A new game, on the data named `data` ('' for the shipped game).
   * @param {string} data
   */
  function startNew(data) {
    const now = tell.now();
    game = { id: now * 1000 + Math.floor(Math.random() * 1000), started: now, played: now,
             seed: null, level: 0, turn: 0, ended: '', length: 0, data };
    copy = { bytes: new Uint8Array(0), length: 0 };
    stored = 0;
    if (!refused) store.lock(game.id);
    return game;
  }

  /**
   * A kept game played on: its entry and all its recording.
   * @param {Game} kept
   * @param {Uint8Array} bytes
   */
  function goOn(kept, bytes) {
    game = kept;
    stored = kept.length;
    copy = { bytes, length: bytes.length };
  }

  /**
   * The program's new bytes of the recording, at `offset` of it. Resolves
   * once they are kept (or refused). Each piece's transaction is asked for
   * at once, and the browser runs them in that order.
   * @param {number} offset
   * @param {Uint8Array} bytes
   */
  function keep(offset, bytes) {
    const current = game;
    if (!current || refused) return Promise.resolve();
    summarize(current, offset, bytes);
    current.length = offset + bytes.length;
    current.played = tell.now();
    const entry = { ...current };
    const whole = copyPut(offset, bytes) ? copy.bytes.slice(0, entry.length) : null;
    return store.append(entry, offset, bytes, () => whole).then((wrote) => {
      if (wrote) stored = entry.length;
      else refuse('a part of it was lost');
    }, (error) => refuse(String(error.message || error)));
  }

  /**
   * A picture of the game at a point of its recording, so that a continue
   * need not draw all of it again. The recording is what counts: a picture
   * not kept only costs time.
   * @param {Uint8Array} bytes
   * @returns {Promise<boolean>}
   */
  function keepPicture(bytes) {
    const current = game;
    if (!current || refused) return Promise.resolve(false);
    return store.putPicture(current.id, bytes).then(() => true, () => false);
  }

  return {
    startNew, goOn, keep, keepPicture, refuse,
    /** the game this page plays, if any */
    current: () => game,
    refused: () => refused,
  };
}

/** @typedef {ReturnType<typeof createKeeper>} Keeper */
