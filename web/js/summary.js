// What a list shows of a kept game, read from its recording's own lines as
// delve --games reads them, and the names and dates it is shown with.

/**
 * A kept game as the games store holds it.
 * @typedef {object} Game
 * @property {number} id
 * @property {number} started   when it began (ms since 1970)
 * @property {number} played    when its latest keys were kept
 * @property {string | null} seed  null while it waits on the title, before it has one
 * @property {number} level     the deepest level reached
 * @property {number} turn      the turn of its last keys
 * @property {string} ended     how it ended, or '' while it goes on
 * @property {number} length    bytes of its recording kept
 * @property {string} data      '' for the shipped game, else the name of the player's own data
 */

/**
 * Reads the recording's lines in `bytes`, which begin at `offset` of it, into
 * the game: a recording handed over from its start (offset 0) starts the
 * summary afresh.
 * @param {Game} game
 * @param {number} offset
 * @param {Uint8Array} bytes
 */
export function summarize(game, offset, bytes) {
  if (offset === 0) Object.assign(game, { seed: null, level: 0, turn: 0, ended: '' });
  const text = latin1(bytes);
  const lines = /^(?:# seed (\S{1,40})|# level (\d{1,9})|k (-?\d{1,10}) |(# end \w+))/gm;
  let found;
  while ((found = lines.exec(text))) {
    if (found[1] !== undefined) game.seed = found[1];
    else if (found[2] !== undefined) game.level = Math.max(game.level, Number(found[2]));
    else if (found[3] !== undefined) {
      game.turn = Number(found[3]);
      game.ended = '';
    } else game.ended = found[4].slice(6);
  }
}

/**
 * Bytes as text, one character a byte (a recording's lines are ASCII).
 * @param {Uint8Array} bytes
 */
export function latin1(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 8192) {
    text += String.fromCharCode.apply(null, /** @type {any} */ (bytes.subarray(i, i + 8192)));
  }
  return text;
}

/** @param {number} time */
export function dateOf(time) {
  const d = new Date(time);
  /** @param {number} n */
  const two = (n) => (n < 10 ? '0' : '') + n;
  return {
    day: d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()),
    time: two(d.getHours()) + ':' + two(d.getMinutes()),
    stamp: two(d.getHours()) + two(d.getMinutes()) + two(d.getSeconds()),
  };
}

/** @param {Game} game */
export function describeGame(game) {
  return 'seed ' + game.seed + ', level ' + (game.level || '?') + ', turn ' + game.turn;
}

/**
 * The window names its recordings so: 2026-12-07_204811_seed-17.rec.
 * @param {Game} game
 */
export function fileName(game) {
  const d = dateOf(game.started);
  return d.day + '_' + d.stamp + '_seed-' + String(game.seed).replace(/[^0-9.+-]/g, '') + '.rec';
}
