import { test } from 'node:test';
import assert from 'node:assert/strict';
import { deflateSync } from 'node:zlib';
import { makeLink, openLink, hasLink, toBase64url, toLinkText, fromLinkText } from '../js/share.js';

const BASE = 'https://example.invalid/delve/';
/** @param {string} text */
const bytes = (text) => new TextEncoder().encode(text);
const DAMAGED = { problem: "the link's game cannot be unpacked (it is damaged or cut short)" };
const NOT_KEPT = "the link's game is not a kept game: ";

// A recording as the game writes one: header, clock readings, key lines and
// checkpoints.
function recording(turns = 400) {
  let text = 'delve-recording 1\nprogram 0.2.0\ndata 0123456789abcdef\n# seed 17\nt 0x1.2d687e3d7p+10\n';
  for (let turn = 1; turn <= turns; turn++) {
    text += 'k ' + turn + ' ' + '8462'[turn % 4] + '\n';
    if (turn % 50 === 0) text += 'p ' + turn + ' ' + (0xfedcba98 + turn).toString(16).padStart(16, '0') + '\n';
  }
  return bytes(text);
}

/** A link holding exactly these packed bytes. @param {Uint8Array} packed @param {string} [rest] */
const linkOf = (packed, rest = '&turn=1') => BASE + '#watch=' + toBase64url(packed) + rest;

test('a game and its turn go through a link and come back the same, whatever else the link holds', async () => {
  const game = recording();
  const made = await makeLink(BASE, game, 120);
  assert.ok('link' in made, JSON.stringify(made));
  assert.match(made.link, /^https:\/\/example\.invalid\/delve\/#watch=[A-Za-z0-9_-]+&turn=120$/);
  assert.ok(hasLink(made.link));
  assert.deepEqual(await openLink(made.link), { bytes: game, turn: 120 });

  // Parameters in any order, unknown ones ignored, the first of two taken,
  // the query never read; a turn may have leading zeros.
  const payload = made.link.slice(made.link.indexOf('watch=') + 6, made.link.indexOf('&'));
  for (const [link, turn] of /** @type {[string, number][]} */ ([
    [BASE + '?watch=nothing&turn=5#from=chat&turn=7&watch=' + payload, 7],
    [BASE + '#turn=000000009&watch=' + payload + '&watch=AAAA&turn=3&', 9],
    ['#watch=' + payload + '&x&=&turn=999999999', 999999999],
  ])) {
    assert.deepEqual(await openLink(link), { bytes: game, turn });
  }
  // The alphabet and the missing padding are the standard's.
  const all = new Uint8Array(256).map((_, i) => i);
  assert.equal(toBase64url(all.subarray(1)), Buffer.from(all.subarray(1)).toString('base64url'));
});

test('only a fragment with a watch parameter is a link, and it needs a turn from 1', async () => {
  for (const href of [BASE, BASE + '?watch=abc', BASE + '#xwatch=abc', BASE + '#watch']) {
    assert.equal(hasLink(href), false, href);
    assert.deepEqual(await openLink(href), { problem: 'the link has no game in it' });
  }
  // An empty game is still a link, refused with its reason.
  assert.equal(hasLink(BASE + '#watch=&turn=2'), true);
  assert.deepEqual(await openLink(BASE + '#watch=&turn=2'), { problem: 'the link has no game in it' });

  const packed = deflateSync(recording(3));
  assert.deepEqual(await openLink(linkOf(packed, '&turns=4')), { problem: 'the link has no turn in it' });
  for (const turn of ['', '0', '000000000', '1234567890', '-1', '+1', '2.5', ' 4', '0x10']) {
    assert.deepEqual(await openLink(linkOf(packed, '&turn=' + turn)),
                     { problem: "the link's turn is not a whole number from 1 to 999999999" }, turn);
  }
});

test('a broken or foreign game in a link is refused with its reason', async () => {
  const made = await makeLink(BASE, recording(), 12);
  assert.ok('link' in made);
  const from = made.link.indexOf('watch=') + 6;
  const to = made.link.indexOf('&');
  for (const cut of [from + 1, from + 2, from + 3, (from + to) >> 1, to - 1]) {
    assert.deepEqual(await openLink(made.link.slice(0, cut)), DAMAGED, String(cut));
  }
  for (const payload of ['eJzL+SvA', 'eJzL/SvA', 'eJzLSM3JyQcABiwCFQ==', 'eJz%20L']) {
    assert.deepEqual(await openLink(BASE + '#watch=' + payload + '&turn=1'),
                     { problem: "the link's game is not base64url" }, payload);
  }
  const packed = deflateSync(recording(3));
  const flipped = Uint8Array.from(packed);
  flipped[flipped.length - 1] ^= 1;  // the checksum
  for (const bad of [bytes('not packed'), flipped, packed.subarray(2)]) assert.deepEqual(await openLink(linkOf(bad)), DAMAGED);

  assert.deepEqual(await openLink(linkOf(deflateSync(bytes('hello')))), { problem: NOT_KEPT + 'not a Delve recording' });
  assert.deepEqual(await openLink(linkOf(deflateSync(bytes('delve-recording 1')))),
                   { problem: NOT_KEPT + 'not a Delve recording' }, 'the header line is not finished');
  assert.deepEqual(await openLink(linkOf(deflateSync(bytes('delve-recording 2\r\nprogram 9\n')))),
                   { problem: NOT_KEPT + 'recording format 2 is not supported (this program reads 1)' });

  // Over the length limit, whatever it holds; at it, it opens.
  const long = linkOf(packed) + '&pad=' + 'x'.repeat(32768);
  assert.deepEqual(await openLink(long), { problem: 'the link is longer than 32,768 characters' });
  assert.deepEqual(await openLink(long.slice(0, 32768)), { bytes: recording(3), turn: 1 });
});

test('a link that unpacks to more than 16 MiB is stopped at the cap, quickly', async () => {
  // 20 MB of zeros packs into a link well under the length limit. Its
  // checksum is wrong, but unpacking stops at the cap, long before it.
  const packed = Uint8Array.from(deflateSync(new Uint8Array(20_000_000), { level: 9 }));
  packed[packed.length - 1] ^= 1;
  const bomb = linkOf(packed);
  assert.ok(bomb.length < 32768);
  const start = performance.now();
  assert.deepEqual(await openLink(bomb), { problem: "the link's game is larger than 16 MiB unpacked" });
  assert.ok(performance.now() - start < 5000, 'took ' + (performance.now() - start) + ' ms');
  // Exactly the cap is still a game's size (refused for what it holds).
  const full = new Uint8Array(16 << 20).fill(10);
  full.set(bytes('hello'));
  assert.deepEqual(await openLink(linkOf(deflateSync(full, { level: 9 }))), { problem: NOT_KEPT + 'not a Delve recording' });
});

test('a link is not made when it could not be opened', async () => {
  let seed = 17;
  const noise = new Uint8Array(30000).map(() => {
    seed ^= seed << 13;
    seed ^= seed >>> 17;
    seed ^= seed << 5;
    return seed & 0xff;
  });
  assert.deepEqual(await makeLink(BASE, noise, 1), { problem: 'the link would be longer than 32,768 characters' });
  for (const turn of [0, 1.5, 1e9, NaN]) {
    assert.deepEqual(await makeLink(BASE, recording(3), turn),
                     { problem: "the link's turn is not a whole number from 1 to 999999999" }, String(turn));
  }
  assert.deepEqual(await makeLink(BASE, new Uint8Array((16 << 20) + 1), 1),
                   { problem: "the link's game is larger than 16 MiB unpacked" });
  assert.ok('problem' in (await makeLink(BASE + '#old', recording(3), 1)));
});

test('key lines leave out the turns they count up to, and get them back byte for byte', () => {
  const text = 'delve-recording 1\nprogram x\ndata 0000000000000000\nk 0 x @ 1 \\r\nk 0 \\x20\nt 0x1p+3\nk 1 6\n' +
    'k 2 6 \u00e9\np 4 00000000000000ff\nk 4 v\nk 057 6\nk 58 6\n# k 99 a comment\nk 9 2\nk 10 2';
  const bytes = new TextEncoder().encode(text);
  const link = new TextDecoder().decode(toLinkText(bytes));
  assert.ok(link.includes('\nK 6 \u00e9\n'), link);
  assert.ok(link.includes('\nk 0 \\x20\n'));
  assert.ok(link.includes('\nk 057 6\nk 58 6\n'));
  assert.deepEqual(fromLinkText(toLinkText(bytes)), bytes);
});
