// Shared links: a whole kept game and the turn to show, carried in a link's
// fragment (which a server never receives), so that a player can hand on
// "this game at this turn":
//
//   https://example.invalid/delve/#watch=eNrtW...&turn=120
//
// watch is the recording's bytes packed as a zlib stream (deflate with its
// header and checksum) in base64url without padding; turn is a decimal whole
// number from 1, at most 9 digits. Parameters are separated by '&' and come
// in any order; others are ignored, and of one given twice the first counts.
// The window reads and makes the same links (src/share/shared_link.h) and
// refuses them for the same reasons, word for word.

/** A longer link is neither made nor opened: the page offers a download. */
export const MAX_LINK = 32768;
/** The largest recording the game reads (kRecordingMaxBytes). */
export const MAX_UNPACKED = 16 << 20;
export const MAX_TURN = 999999999;

const TOO_LONG = 'the link is longer than 32,768 characters';
const NO_GAME = 'the link has no game in it';
const NOT_BASE64URL = "the link's game is not base64url";
const DAMAGED = "the link's game cannot be unpacked (it is damaged or cut short)";
const TOO_LARGE = "the link's game is larger than 16 MiB unpacked";
const NO_TURN = 'the link has no turn in it';
const BAD_TURN = "the link's turn is not a whole number from 1 to 999999999";
const NOT_KEPT = "the link's game is not a kept game: ";

// The packed game goes through the stream a piece at a time: a browser
// unpacks each piece it is given whole before anyone can stop it, so a small
// piece is what keeps a link that unpacks to gigabytes near the cap.
const PIECE = 1024;

const MAGIC = 'delve-recording ';
const ALPHABET = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_';

/**
 * The value of the first `name=` parameter of the fragment, or null.
 * @param {string} href
 * @param {string} name
 * @returns {string | null}
 */
function parameter(href, name) {
  const hash = href.indexOf('#');
  if (hash < 0) return null;
  for (const part of href.slice(hash + 1).split('&')) {
    if (part.length > name.length && part.startsWith(name) && part[name.length] === '=') {
      return part.slice(name.length + 1);
    }
  }
  return null;
}

/**
 * True when the address holds a game to watch (even one that will be refused,
 * which is then shown with its reason).
 * @param {string} href
 */
export function hasLink(href) {
  return parameter(href, 'watch') !== null;
}

/** @param {Uint8Array} bytes */
export function toBase64url(bytes) {
  let out = '';
  let bits = 0;
  let held = 0;
  for (const byte of bytes) {
    bits = ((bits << 8) | byte) & 0xffff;
    held += 8;
    while (held >= 6) {
      held -= 6;
      out += ALPHABET[(bits >> held) & 63];
    }
  }
  if (held > 0) out += ALPHABET[(bits << (6 - held)) & 63];
  return out;
}

/**
 * The bytes back, or null when a character is outside the alphabet. Bits
 * left at the end that make no whole byte are dropped, as they are where a
 * link was cut short: the stream then fails as cut short, which says more.
 * @param {string} text
 */
export function fromBase64url(text) {
  const out = new Uint8Array(Math.floor((text.length * 6) / 8));
  let length = 0;
  let bits = 0;
  let held = 0;
  for (let i = 0; i < text.length; i++) {
    const value = ALPHABET.indexOf(text[i]);
    if (value < 0) return null;
    bits = ((bits << 6) | value) & 0xffff;
    held += 6;
    if (held >= 8) {
      held -= 8;
      out[length++] = (bits >> held) & 0xff;
    }
  }
  return out.subarray(0, length);
}

/** @param {string} text */
function turnOf(text) {
  return /^[0-9]{1,9}$/.test(text) && Number(text) >= 1 ? Number(text) : null;
}

/**
 * Bytes through a (de)compression stream, fed a piece at a time, read a
 * chunk at a time; stops once the output passes `cap` (a dungeon link's
 * payload goes through the same, data-link.js).
 * @param {{ readable: ReadableStream<Uint8Array>, writable: WritableStream<BufferSource> }} transform
 * @param {Uint8Array} input
 * @param {number} cap
 * @returns {Promise<Uint8Array | 'too large' | 'damaged'>}
 */
export async function pass(transform, input, cap) {
  const writer = transform.writable.getWriter();
  const reader = transform.readable.getReader();
  const feeding = (async () => {
    for (let at = 0; at < input.length; at += PIECE) await writer.write(input.subarray(at, at + PIECE));
    await writer.close();
  })();
  // Its failure is the reader's too, and is answered there.
  feeding.catch(() => {});
  /** @type {Uint8Array[]} */
  const chunks = [];
  let length = 0;
  try {
    for (;;) {
      const step = await reader.read();
      if (step.done) break;
      length += step.value.length;
      if (length > cap) {
        reader.cancel().catch(() => {});
        return 'too large';
      }
      chunks.push(step.value);
    }
  } catch {
    return 'damaged';
  }
  const out = new Uint8Array(length);
  let at = 0;
  for (const chunk of chunks) {
    out.set(chunk, at);
    at += chunk.length;
  }
  return out;
}

// A recording as a link carries it (as src/share/link_text.h does it): a
// key line whose turn is the one expected (the turn of the key line before
// plus that line's keys; 0 for the first) is written "K keys" rather than
// "k turn keys", since counting turns up is most of what a packed game of
// single keys holds. Every other line is carried as it is, byte for byte.
const LF = 10;
const BLANK = 32;

/** @param {Uint8Array} bytes @param {number} from @param {number} to */
function keyCount(bytes, from, to) {
  let count = 0;
  let inKey = false;
  for (let i = from; i < to; i++) {
    if (bytes[i] === BLANK) inKey = false;
    else if (!inKey) { inKey = true; count++; }
  }
  return count;
}

/**
 * The turn of "k TURN KEYS" written as the game writes it, and where its
 * keys start; null for any other line.
 * @param {Uint8Array} bytes @param {number} from @param {number} to
 */
function plainTurn(bytes, from, to) {
  if (to - from < 2 || bytes[from] !== 107 /* k */ || bytes[from + 1] !== BLANK) return null;
  let i = from + 2;
  let turn = 0;
  while (i < to && bytes[i] >= 48 && bytes[i] <= 57 && i - from < 12) turn = turn * 10 + bytes[i++] - 48;
  if (i === from + 2 || i >= to || bytes[i] !== BLANK) return null;
  if (bytes[from + 2] === 48 && i > from + 3) return null;
  return { turn, keysAt: i + 1 };
}

/**
 * Each line of `bytes` (with its LF) through `line`, which pushes byte runs.
 * @param {Uint8Array} bytes
 * @param {(from: number, to: number, out: (Uint8Array | number[])[]) => void} line
 */
function eachLine(bytes, line) {
  /** @type {(Uint8Array | number[])[]} */
  const out = [];
  for (let at = 0; at < bytes.length;) {
    const lf = bytes.indexOf(LF, at);
    const stop = lf < 0 ? bytes.length : lf;
    line(at, stop, out);
    if (lf < 0) break;
    out.push([LF]);
    at = lf + 1;
  }
  let length = 0;
  for (const run of out) length += run.length;
  const joined = new Uint8Array(length);
  let at = 0;
  for (const run of out) { joined.set(run, at); at += run.length; }
  return joined;
}

/** @param {string} text */
const ascii = (text) => Array.from(text, (c) => c.charCodeAt(0));

/** @param {Uint8Array} bytes */
export function toLinkText(bytes) {
  let expected = 0;
  return eachLine(bytes, (from, to, out) => {
    const plain = plainTurn(bytes, from, to);
    if (!plain) { out.push(bytes.subarray(from, to)); return; }
    if (plain.turn === expected) out.push(ascii('K '));
    else out.push(bytes.subarray(from, plain.keysAt));
    out.push(bytes.subarray(plain.keysAt, to));
    expected = plain.turn + keyCount(bytes, plain.keysAt, to);
  });
}

/** @param {Uint8Array} bytes */
export function fromLinkText(bytes) {
  let expected = 0;
  return eachLine(bytes, (from, to, out) => {
    if (to - from >= 2 && bytes[from] === 75 /* K */ && bytes[from + 1] === BLANK) {
      out.push(ascii('k ' + expected + ' '));
      out.push(bytes.subarray(from + 2, to));
      expected += keyCount(bytes, from + 2, to);
      return;
    }
    out.push(bytes.subarray(from, to));
    const plain = plainTurn(bytes, from, to);
    if (plain) expected = plain.turn + keyCount(bytes, plain.keysAt, to);
  });
}

/**
 * What the game's reader says of a recording's first line, or '' when it is
 * right. Only the header is checked here: the game checks every line again
 * when it plays the recording (parseRecording, in the page's WebAssembly),
 * and refuses it there with the line and the reason.
 * @param {Uint8Array} bytes
 */
function headerProblem(bytes) {
  const lf = bytes.indexOf(10);
  if (lf < 0) return 'not a Delve recording';
  const end = lf > 0 && bytes[lf - 1] === 13 ? lf - 1 : lf;
  // The format's name and at most 20 characters of the version are all
  // that is said of the line.
  let line = '';
  for (let i = 0; i < Math.min(end, MAGIC.length + 20); i++) line += String.fromCharCode(bytes[i]);
  if (!line.startsWith(MAGIC)) return 'not a Delve recording';
  const version = line.slice(MAGIC.length);
  if (version === '1' && end === MAGIC.length + 1) return '';
  return 'recording format ' + version + ' is not supported (this program reads 1)';
}

/**
 * The game in a link and the turn to show, or the one reason it is refused.
 * Whether the game reaches that turn is for whoever shows it to decide.
 * @param {string} href
 * @returns {Promise<{ bytes: Uint8Array, turn: number } | { problem: string }>}
 */
export async function openLink(href) {
  if (href.length > MAX_LINK) return { problem: TOO_LONG };
  const watch = parameter(href, 'watch');
  if (!watch) return { problem: NO_GAME };
  const packed = fromBase64url(watch);
  if (!packed) return { problem: NOT_BASE64URL };
  if (typeof DecompressionStream !== 'function') return { problem: "this browser cannot unpack the link's game" };
  const unpacked = await pass(new DecompressionStream('deflate'), packed, MAX_UNPACKED);
  if (unpacked === 'too large') return { problem: TOO_LARGE };
  if (unpacked === 'damaged') return { problem: DAMAGED };
  const bytes = fromLinkText(unpacked);
  if (bytes.length > MAX_UNPACKED) return { problem: TOO_LARGE };
  const turnText = parameter(href, 'turn');
  const turn = turnText === null ? null : turnOf(turnText);
  if (turn === null) return { problem: turnText === null ? NO_TURN : BAD_TURN };
  const problem = headerProblem(bytes);
  if (problem) return { problem: NOT_KEPT + problem };
  return { bytes, turn };
}

/**
 * `base` (the address before its '#') with the game and the turn in its
 * fragment, or the reason there is no such link: one longer than MAX_LINK
 * is offered as a download instead.
 * @param {string} base
 * @param {Uint8Array} recordingBytes
 * @param {number} turn
 * @returns {Promise<{ link: string } | { problem: string }>}
 */
export async function makeLink(base, recordingBytes, turn) {
  if (base.includes('#')) return { problem: "the page's address already has a '#' in it" };
  if (!Number.isInteger(turn) || turn < 1 || turn > MAX_TURN) return { problem: BAD_TURN };
  if (recordingBytes.length > MAX_UNPACKED) return { problem: TOO_LARGE };
  if (typeof CompressionStream !== 'function') return { problem: 'this browser cannot pack a game into a link' };
  const head = base + '#watch=';
  const tail = '&turn=' + turn;
  // Packed bytes that would make a longer link are not worth waiting for.
  const room = Math.floor(((MAX_LINK - head.length - tail.length) * 6) / 8);
  const packed = await pass(new CompressionStream('deflate'), toLinkText(recordingBytes), Math.max(room, 0));
  const tooLong = { problem: 'the link would be longer than 32,768 characters' };
  if (typeof packed === 'string') return packed === 'too large' ? tooLong : { problem: 'the game could not be packed' };
  const link = head + toBase64url(packed) + tail;
  return link.length > MAX_LINK ? tooLong : { link };
}
