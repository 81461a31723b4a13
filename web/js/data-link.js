// Dungeon links: a whole data folder (res/ and tiles/) carried in a link's
// fragment, so that anyone who opens it plays that dungeon:
//
//   https://example.invalid/delve/#data=eNrtW...
//   https://example.invalid/delve/#data=eNrtW...&watch=eNq...&turn=120
//
// data is the folder as the program packs it (own_data/data_link.h: a
// listing, then every file's bytes) in a zlib stream, base64url without
// padding, as a game link's watch is. With a game beside it, the game is one
// played on that dungeon. Whether the files can be taken is decided by the
// program, by the import a zip goes through; this module only carries bytes
// and holds them to the link's bounds, so that a hostile link never makes
// the page unpack more than a dungeon can hold.
import { fromBase64url, pass, toBase64url } from './share.js';

/**
 * The link's bounds, as the program states them (bridge.dataLink).
 * @typedef {{ maxChars: number, maxUnpacked: number }} DataLinkLimits
 */

const NAME = 'data';

/** @param {number} n */
const counted = (n) => n.toLocaleString('en-US');

/**
 * The fragment's parameters, in order.
 * @param {string} href
 */
function parts(href) {
  const hash = href.indexOf('#');
  return hash < 0 ? [] : href.slice(hash + 1).split('&');
}

/** @param {string} part */
const isData = (part) => part.startsWith(NAME + '=');

/**
 * The first data parameter's value, or null.
 * @param {string} href
 * @returns {string | null}
 */
export function dataParameter(href) {
  const part = parts(href).find(isData);
  return part === undefined ? null : part.slice(NAME.length + 1);
}

/**
 * True when the address carries a dungeon (even one that will be refused,
 * which is then said with its reason).
 * @param {string} href
 */
export function hasDataLink(href) {
  return dataParameter(href) !== null;
}

/**
 * The address without its dungeon: what is left is a game link's to read
 * (share.js), which knows nothing of dungeons and holds its own bounds.
 * @param {string} href
 */
export function withoutData(href) {
  const hash = href.indexOf('#');
  if (hash < 0) return href;
  return href.slice(0, hash + 1) + parts(href).filter((part) => !isData(part)).join('&');
}

/**
 * A dungeon's packed bytes as a link's data parameter, or why not.
 * @param {Uint8Array} packed  the folder as the program packs it
 * @param {DataLinkLimits} limits
 * @returns {Promise<{ payload: string } | { problem: string }>}
 */
export async function toPayload(packed, limits) {
  if (packed.length > limits.maxUnpacked) {
    return { problem: 'the dungeon is larger than ' + counted(limits.maxUnpacked >> 20) + ' MiB unpacked' };
  }
  if (typeof CompressionStream !== 'function') return { problem: 'this browser cannot pack a dungeon into a link' };
  const tooLong = { problem: 'the link would be longer than ' + counted(limits.maxChars) + ' characters' };
  // Packed bytes that would make a longer link are not worth waiting for.
  const room = Math.floor((limits.maxChars * 6) / 8);
  const deflated = await pass(new CompressionStream('deflate'), packed, room);
  if (deflated === 'too large') return tooLong;
  if (deflated === 'damaged') return { problem: 'the dungeon could not be packed' };
  const payload = toBase64url(deflated);
  return payload.length > limits.maxChars ? tooLong : { payload };
}

/**
 * The packed bytes a link's data parameter holds, or the one reason it is
 * refused. What they hold is for the program to judge.
 * @param {string} payload
 * @param {DataLinkLimits} limits
 * @returns {Promise<{ bytes: Uint8Array } | { problem: string }>}
 */
export async function fromPayload(payload, limits) {
  if (payload.length > limits.maxChars) {
    return { problem: 'the link is longer than ' + counted(limits.maxChars) + ' characters' };
  }
  if (!payload) return { problem: 'the link has no dungeon in it' };
  const deflated = fromBase64url(payload);
  if (!deflated) return { problem: "the link's dungeon is not base64url" };
  if (typeof DecompressionStream !== 'function') return { problem: "this browser cannot unpack the link's dungeon" };
  const bytes = await pass(new DecompressionStream('deflate'), deflated, limits.maxUnpacked);
  if (bytes === 'too large') {
    return { problem: "the link's dungeon is larger than " + counted(limits.maxUnpacked >> 20) + ' MiB unpacked' };
  }
  if (bytes === 'damaged') return { problem: "the link's dungeon cannot be unpacked (it is damaged or cut short)" };
  return { bytes };
}

/**
 * `base` (the address before its '#') with the dungeon in its fragment, and
 * a game link's parameters after it when one is given ("watch=...&turn=N").
 * @param {string} base @param {string} payload @param {string} [game]
 */
export function dataLinkOf(base, payload, game) {
  return base + '#' + NAME + '=' + payload + (game ? '&' + game : '');
}

/**
 * A short name for a dungeon, the same for the same files: the games played
 * on it are kept under it, and a link to another dungeon gets another.
 * @param {Uint8Array} packed
 */
export function dungeonName(packed) {
  // FNV-1a: a name, not a safeguard; the import judges the files.
  let hash = 0x811c9dc5;
  for (const byte of packed) hash = Math.imul(hash ^ byte, 0x01000193) >>> 0;
  return 'shared dungeon ' + hash.toString(16).padStart(8, '0');
}
