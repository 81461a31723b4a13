// STAND-IN for share.js of branch `link`, replaced by it on merging: only
// its interface, written here so the page runs before it is merged.
//   makeLink(base, recordingBytes, turn) -> {link} | {problem}
//   openLink(href) -> {bytes, turn} | {problem}
//   hasLink(href)
// Link: base + '#watch=' + base64url(deflate(recording)) + '&turn=' + N, at
// most LONGEST_LINK characters.

export const LONGEST_LINK = 32768;

/** @param {Uint8Array} bytes @param {CompressionStream | DecompressionStream} stream */
async function through(bytes, stream) {
  const piped = new Blob([bytes]).stream().pipeThrough(stream);
  return new Uint8Array(await new Response(piped).arrayBuffer());
}

/** @param {string} href */
export function hasLink(href) {
  return /#(.*&)?watch=/.test(href);
}

/**
 * @param {string} base @param {Uint8Array} bytes @param {number} turn
 * @returns {Promise<{ link: string } | { problem: string }>}
 */
export async function makeLink(base, bytes, turn) {
  const packed = await through(bytes, new CompressionStream('deflate'));
  let text = '';
  for (let i = 0; i < packed.length; i += 0x8000) text += String.fromCharCode(...packed.subarray(i, i + 0x8000));
  const link = base.replace(/#.*$/, '') + '#watch=' +
    btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '') + '&turn=' + Math.max(1, Math.floor(turn));
  if (link.length > LONGEST_LINK) return { problem: 'the game is too long for a link' };
  return { link };
}

/**
 * @param {string} href
 * @returns {Promise<{ bytes: Uint8Array, turn: number } | { problem: string }>}
 */
export async function openLink(href) {
  const fragment = new URLSearchParams(href.replace(/^[^#]*#?/, ''));
  const packed = fragment.get('watch') || '';
  const turn = Number(fragment.get('turn') || '1');
  if (href.length > LONGEST_LINK || !/^[A-Za-z0-9_-]+$/.test(packed) || !Number.isInteger(turn) || turn < 1) {
    return { problem: 'the link is not a link to a game' };
  }
  try {
    const text = atob(packed.replace(/-/g, '+').replace(/_/g, '/'));
    const bytes = await through(Uint8Array.from(text, (c) => c.charCodeAt(0)), new DecompressionStream('deflate'));
    return { bytes, turn };
  } catch (error) {
    return { problem: 'the link is damaged' };
  }
}
