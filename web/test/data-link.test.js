import { test } from 'node:test';
import assert from 'node:assert/strict';
import { deflateSync } from 'node:zlib';
import { dataLinkOf, dataParameter, dungeonName, fromPayload, hasDataLink, toPayload, withoutData } from '../js/data-link.js';
import { hasLink, openLink, toBase64url } from '../js/share.js';

const BASE = 'https://example.invalid/delve/';
const LIMITS = { maxChars: 65536, maxUnpacked: 16 << 20 };
/** @param {string} text */
const bytes = (text) => new TextEncoder().encode(text);

// A folder as the program packs one: short files that deflate well, and a
// tile's worth of bytes that do not.
function folder() {
  let listing = 'delve-data 1\n';
  let body = '';
  for (let i = 1; i <= 40; i++) {
    const tile = String.fromCharCode(253) + 'tile ' + i + ' '.repeat(i % 7);
    listing += tile.length + ' tiles/map/map_' + String(i).padStart(3, '0') + '.til\n';
    body += tile;
  }
  return bytes(listing + '\n' + body);
}

test('a dungeon goes through a link and comes back byte for byte, with or without a game beside it', async () => {
  const packed = folder();
  const made = await toPayload(packed, LIMITS);
  assert.ok('payload' in made, JSON.stringify(made));
  assert.match(made.payload, /^[A-Za-z0-9_-]+$/);
  const link = dataLinkOf(BASE, made.payload);
  assert.equal(link, BASE + '#data=' + made.payload);
  assert.ok(hasDataLink(link) && !hasLink(link));
  assert.deepEqual(await fromPayload(/** @type {string} */ (dataParameter(link)), LIMITS), { bytes: packed });

  // A game played on it goes after it; the game's own reading sees the game
  // alone, wherever the dungeon stands among the parameters.
  const game = 'watch=' + toBase64url(deflateSync(bytes('delve-recording 1\nk 0 8\n'))) + '&turn=1';
  const both = dataLinkOf(BASE, made.payload, game);
  assert.equal(dataParameter(both), made.payload);
  assert.equal(withoutData(both), BASE + '#' + game);
  assert.equal(withoutData(BASE + '#turn=1&data=AAAA&watch=x&data=BBBB'), BASE + '#turn=1&watch=x');
  assert.equal(withoutData(BASE + '?data=1'), BASE + '?data=1', 'the query is never read');
  assert.equal(dataParameter(BASE + '?data=1'), null);
  const opened = await openLink(withoutData(both));
  assert.ok('bytes' in opened && opened.turn === 1, JSON.stringify(opened));

  // The same files make the same name; others another.
  assert.equal(dungeonName(packed), dungeonName(folder()));
  assert.notEqual(dungeonName(packed), dungeonName(bytes('delve-data 1\n\n')));
  assert.match(dungeonName(packed), /^shared dungeon [0-9a-f]{8}$/);
});

test('a hostile or broken payload is refused with one reason, and a bomb is stopped near its cap', async () => {
  const small = { maxChars: 400, maxUnpacked: 1 << 20 };
  const cases = /** @type {[string, string][]} */ ([
    ['', 'the link has no dungeon in it'],
    ['A'.repeat(401), 'the link is longer than 400 characters'],
    ['eNq+/', "the link's dungeon is not base64url"],
    ['eNoLSS0u0U0szs9TSEksSQQALmsFNw', "the link's dungeon cannot be unpacked (it is damaged or cut short)"],
    [toBase64url(deflateSync(bytes('delve-data 1\n\n'))).slice(0, -4), "the link's dungeon cannot be unpacked (it is damaged or cut short)"],
  ]);
  for (const [payload, problem] of cases) {
    assert.deepEqual(await fromPayload(payload, small), { problem }, payload.slice(0, 20));
  }
  // 16 MiB of zeros take some 22,000 characters: within the link's length,
  // and refused at its unpacked bound.
  const bomb = toBase64url(deflateSync(new Uint8Array(16 << 20), { level: 9 }));
  assert.ok(bomb.length < LIMITS.maxChars, String(bomb.length));
  assert.deepEqual(await fromPayload(bomb, { maxChars: LIMITS.maxChars, maxUnpacked: 1 << 20 }),
                   { problem: "the link's dungeon is larger than 1 MiB unpacked" });

  // A dungeon too big for a link is refused when it is made, not cut short.
  const noise = new Uint8Array(2000).map((_, i) => (i * 7919 + (i >> 3) * 104729) % 251);
  assert.deepEqual(await toPayload(noise, small), { problem: 'the link would be longer than 400 characters' });
  assert.deepEqual(await toPayload(new Uint8Array((1 << 20) + 1), small),
                   { problem: 'the dungeon is larger than 1 MiB unpacked' });
});
